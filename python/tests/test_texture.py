"""skinmeters.texture against texturemeter-cli --json, array input against file input, and its errors."""

import warnings

import numpy
import pytest

import skinmeters
from skinmeters import _skinmeters
from conftest import (TEXTURE_PHOTOS, as_arguments, assert_identical, other_threads_run_inside,
                      run_texturemeter_cli, textured_photo, write_bmp)


def measurements(result):
    """A result without what it reports beside the measurements."""
    return {k: v for k, v in result.items() if k not in ("seed", "exifOrientation", "warning")}


@pytest.mark.parametrize("photo", TEXTURE_PHOTOS, ids=lambda p: p.name)
@pytest.mark.parametrize("variant", ["A", "B", "C"])
def test_bundled_photos_equal_the_cli(tmp_path, photo, variant):
    status, stderr, report = run_texturemeter_cli(tmp_path, [photo], "--seed", "7", "--variant", variant,
                                                  "--x", "20", "--y", "10")
    assert status == 0, stderr
    result = skinmeters.texture(str(photo), x=20, y=10, variant=variant, seed=7)
    assert result["seed"] == report["seed"] == 7
    # The whole per-image measurements object, whatever names it holds, value for value.
    assert_identical(measurements(result), report["images"][0]["measurements"])


def test_parameters_reach_the_analysis(tmp_path):
    photo = TEXTURE_PHOTOS[1]
    status, stderr, report = run_texturemeter_cli(tmp_path, [photo], "--seed", "3", "--side", "150",
                                                  "--window", "30", "--neighbour", "6")
    assert status == 0, stderr
    result = skinmeters.texture(photo, side=150, window=30, neighbour=6, seed=3)
    assert_identical(measurements(result), report["images"][0]["measurements"])
    assert measurements(result) != measurements(skinmeters.texture(photo, seed=3))


def test_the_comparison_sees_the_last_bit(tmp_path):
    """One unit in the last place of one value, or a missing name, is a difference."""
    status, stderr, report = run_texturemeter_cli(tmp_path, [TEXTURE_PHOTOS[0]], "--seed", "7")
    assert status == 0, stderr
    result = measurements(skinmeters.texture(TEXTURE_PHOTOS[0], seed=7))
    assert_identical(result, report["images"][0]["measurements"])
    result["hessian"]["meanDimension"] = numpy.nextafter(result["hessian"]["meanDimension"], 10.0).item()
    with pytest.raises(AssertionError):
        assert_identical(result, report["images"][0]["measurements"])
    del report["images"][0]["measurements"]["tone"]
    with pytest.raises(AssertionError):
        assert_identical(measurements(skinmeters.texture(TEXTURE_PHOTOS[0], seed=7)),
                         report["images"][0]["measurements"])


def test_same_seed_same_numbers_and_the_clock_seed_is_reported():
    photo = str(TEXTURE_PHOTOS[0])
    first = skinmeters.texture(photo)
    assert isinstance(first["seed"], int)
    assert skinmeters.texture(photo, seed=first["seed"]) == first
    assert skinmeters.texture(photo, seed=11) == skinmeters.texture(photo, seed=11)


def test_array_input_equals_file_input(made_photos):
    path, rgb = made_photos[0]
    from_file = skinmeters.texture(str(path), x=5, y=7, seed=4)
    from_array = skinmeters.texture(rgb, x=5, y=7, seed=4)
    assert from_array == from_file
    # The channels are read in RGB order: the same pixels as BGR give other numbers.
    assert skinmeters.texture(numpy.ascontiguousarray(rgb[:, :, ::-1]), x=5, y=7, seed=4) != from_file


def test_array_views_are_read_with_their_strides(made_photos, tmp_path):
    _, rgb = made_photos[1]
    crop = rgb[10:250, 20:290]                 # a view with row stride of the whole photograph
    assert not crop.flags["C_CONTIGUOUS"]
    write_bmp(tmp_path / "crop.bmp", numpy.ascontiguousarray(crop))
    assert skinmeters.texture(crop, seed=2) == skinmeters.texture(tmp_path / "crop.bmp", seed=2)
    channel_last = numpy.asfortranarray(crop)  # the same pixels in another memory order
    assert skinmeters.texture(channel_last, seed=2) == skinmeters.texture(crop, seed=2)


def test_bad_arrays_are_refused():
    rgb = textured_photo(3, 40, 50)
    with pytest.raises(TypeError, match="uint8"):
        skinmeters.texture(rgb.astype(numpy.float32))
    with pytest.raises(ValueError, match=r"\(height, width, 3\)"):
        skinmeters.texture(rgb[:, :, 0])
    with pytest.raises(ValueError, match=r"\(height, width, 3\)"):
        skinmeters.texture(numpy.zeros((40, 50, 4), numpy.uint8))
    with pytest.raises(ValueError, match="no pixels"):
        skinmeters.texture(numpy.zeros((0, 50, 3), numpy.uint8))


def test_errors_carry_the_cli_message(tmp_path):
    missing = tmp_path / "missing.jpg"
    status, stderr, report = run_texturemeter_cli(tmp_path, [missing])
    assert status == 1
    assert report["images"][0]["error"] == "File not found: " + str(missing)
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.texture(str(missing))
    assert str(caught.value) == "File not found: " + str(missing)
    assert f"texturemeter-cli: {missing}: {caught.value}" in stderr.splitlines()
    # An empty name is a file name too, not an array.
    status, stderr, _ = run_texturemeter_cli(tmp_path, [""], "--seed", "1")
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.texture("", seed=1)
    assert f"texturemeter-cli: : {caught.value}" in stderr.splitlines()

    for options, parameters in [(["--side", "500"], {"side": 500}),
                                (["--side", "0"], {"side": 0}),
                                (["--window", "abc"], {"window": "abc"}),
                                (["--x", "40000"], {"x": 40000}),
                                (["--side", "481"], {"side": 481.0}),
                                (["--window", "19"], {"window": 19})]:
        # The tool refuses its own parameters before any image (exit 2, no report), with the same
        # error; where it names its options, the package names its arguments.
        status, stderr, report = run_texturemeter_cli(tmp_path, [TEXTURE_PHOTOS[0]], "--seed", "1", *options)
        assert status == 2
        with pytest.raises(skinmeters.AnalysisError) as caught:
            skinmeters.texture(TEXTURE_PHOTOS[0], seed=1, **parameters)
        assert as_arguments(stderr.strip()) == f"texturemeter-cli: {caught.value}"
        assert "--" not in str(caught.value)
        assert report is None


def test_parameter_errors_name_the_argument():
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.texture(TEXTURE_PHOTOS[0], side=500)
    assert str(caught.value) == "Subscript out of range (side=500 with window=40: side must be at most 499)"
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.texture(TEXTURE_PHOTOS[0], side=200, window=10.5)
    assert str(caught.value) == ("Invalid procedure call or argument: logarithm of 0 "
                                 "(side=200 with window=10.5: window must be at least 20, the largest box side)")
    # Numbers are read as numbers, texts as the tool reads its options; the same limits either way.
    for side in (32767.5, 2**70, "32768"):
        with pytest.raises(skinmeters.AnalysisError, match="^Overflow$"):
            skinmeters.texture(TEXTURE_PHOTOS[0], side=side)
    with pytest.raises(skinmeters.AnalysisError, match='^Type mismatch: "nan" is not a number$'):
        skinmeters.texture(TEXTURE_PHOTOS[0], x=float("nan"))
    with pytest.raises(skinmeters.AnalysisError, match="^Overflow$"):
        skinmeters.texture(TEXTURE_PHOTOS[0], window=10**400)
    assert skinmeters.texture(TEXTURE_PHOTOS[0], side=150.5, seed=2) == skinmeters.texture(TEXTURE_PHOTOS[0], side=150,
                                                                                          seed=2)


def test_argument_errors():
    with pytest.raises(ValueError, match="variant"):
        skinmeters.texture(TEXTURE_PHOTOS[0], variant="D")
    with pytest.raises(ValueError, match="seed"):
        skinmeters.texture(TEXTURE_PHOTOS[0], seed=-1)
    with pytest.raises(ValueError, match="seed"):
        skinmeters.texture(TEXTURE_PHOTOS[0], seed=2**64)
    with pytest.raises(TypeError, match="side"):
        skinmeters.texture(TEXTURE_PHOTOS[0], side=None)
    assert issubclass(skinmeters.AnalysisError, Exception)


def test_the_analysis_lets_other_threads_run():
    """While one thread is inside the analysis, another runs Python code."""

    def calls():
        for _ in range(5):
            skinmeters.texture(TEXTURE_PHOTOS[1], seed=1)

    assert other_threads_run_inside(_skinmeters.texture, calls)


def test_a_thread_reusing_its_grids_gives_each_photo_its_own_numbers():
    # One thread keeps its work grids and pictures from call to call: a large square, then a
    # small one elsewhere, then the large one again must each give what they give alone, from a
    # file (where only the square is decoded) as from an array.
    photo = TEXTURE_PHOTOS[0]
    first = skinmeters.texture(str(photo), side=333, variant="C", seed=5)
    small = skinmeters.texture(str(TEXTURE_PHOTOS[1]), x=40, y=30, side=130, seed=5)
    again = skinmeters.texture(str(photo), side=333, variant="C", seed=5)
    assert_identical(measurements(first), measurements(again))
    assert measurements(small) != measurements(first)
    fits_left_out = _skinmeters.texture(str(photo), "0", "0", "333", "40", "4", "C", 5, 0, False)
    assert "fits" not in fits_left_out and "fits" in first
    assert_identical({k: v for k, v in measurements(first).items() if k != "fits"}, measurements(fits_left_out))


def test_a_square_entirely_outside_the_photograph_is_refused_as_the_cli_refuses_it(tmp_path, made_photos):
    path, rgb = made_photos[2]                      # 300 x 260
    expected = ("the square x=5000 y=0 side=200 (pixels 5000..5200, 0..200) lies entirely outside the "
                "photograph (300 x 260)")
    expected_cli = ("the square --x 5000 --y 0 --side 200 (pixels 5000..5200, 0..200) lies entirely outside the "
                    "photograph (300 x 260)")
    with pytest.raises(skinmeters.AnalysisError) as from_array:
        skinmeters.texture(rgb, x=5000, seed=1)
    assert str(from_array.value) == expected
    with pytest.raises(skinmeters.AnalysisError) as from_file:
        skinmeters.texture(path, x=5000, seed=1)
    assert str(from_file.value) == expected
    status, stderr, report = run_texturemeter_cli(tmp_path, [path], "--seed", "1", "--x", "5000")
    assert status == 1
    assert f"texturemeter-cli: {path}: {expected_cli}" in stderr.splitlines()
    assert report["images"][0]["error"] == expected_cli
    # Above and left of the photograph: the last pixel of the square is still outside.
    with pytest.raises(skinmeters.AnalysisError, match=r"pixels -201..-1, 10..210\) lies entirely outside"):
        skinmeters.texture(rgb, x=-201, y=10, seed=1)
    # One pixel of overlap is a square that reaches past the edges, not one outside.
    with pytest.warns(skinmeters.AnalysisWarning):
        skinmeters.texture(rgb, x=-200, y=10, seed=1)


def test_a_square_reaching_past_an_edge_gets_the_clis_warning(tmp_path, made_photos):
    path, rgb = made_photos[3]                      # 300 x 260
    status, stderr, report = run_texturemeter_cli(tmp_path, [path], "--seed", "6", "--x", "150", "--y", "100")
    assert status == 0, stderr
    (warned,) = [line for line in stderr.splitlines() if ": warning: " in line]
    prefix = f"texturemeter-cli: {path}: warning: "
    assert warned.startswith(prefix)
    assert warned[len(prefix):] == ("the square --x 150 --y 100 --side 200 (pixels 150..350, 100..300) reaches 51 "
                                    "pixels past the right edge and 41 pixels past the bottom edge of the photograph "
                                    "(300 x 260); it is analysed as the window does, with white beyond the edge")
    # The package names the square by its arguments.
    text = as_arguments(warned[len(prefix):])
    assert text.startswith("the square x=150 y=100 side=200 (pixels 150..350, 100..300) reaches 51 pixels")
    for image in (path, rgb):
        with pytest.warns(skinmeters.AnalysisWarning) as caught:
            result = skinmeters.texture(image, x=150, y=100, seed=6)
        assert [str(w.message) for w in caught] == [text]
        assert result["warning"] == text
        # The numbers are still those of the CLI, white beyond the edge.
        assert_identical(measurements(result), report["images"][0]["measurements"])
    # A square inside the photograph warns of nothing.
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        assert skinmeters.texture(rgb, x=99, y=59, seed=6)["warning"] is None


def test_off_photo_squares_in_a_batch_are_rows_errors_and_warnings(tmp_path, made_photos):
    small = tmp_path / "small.bmp"
    write_bmp(small, textured_photo(7, 150, 160))   # 160 x 150: x=200 lies outside it
    photos = [made_photos[4][0], small, made_photos[5][0]]
    # x=120: the square reaches past the right edge of every photograph; each row says so, as the CLI.
    with pytest.warns(skinmeters.AnalysisWarning) as caught:
        frame = skinmeters.batch(photos, seed=3, x=120, y=40)
    assert frame["error"].isna().all()
    assert frame["warning"][1] == ("the square x=120 y=40 side=200 (pixels 120..320, 40..240) reaches 161 "
                                   "pixels past the right edge and 91 pixels past the bottom edge of the photograph "
                                   "(160 x 150); it is analysed as the window does, with white beyond the edge")
    status, stderr, _ = run_texturemeter_cli(tmp_path, photos, "--seed", "3", "--x", "120", "--y", "40")
    assert status == 0, stderr
    warned = [as_arguments(line[len("texturemeter-cli: "):].replace(": warning: ", ": ", 1))
              for line in stderr.splitlines() if ": warning: " in line]
    assert len(warned) == 3
    assert [str(w.message) for w in caught] == warned
    assert warned[1] == f"{small}: {frame['warning'][1]}"
    # x=200: outside the small photograph only; that row is an error, the others keep their numbers.
    with pytest.warns(skinmeters.AnalysisWarning):
        frame = skinmeters.batch(photos, seed=3, x=200, y=40)
    assert frame["error"][1] == ("the square x=200 y=40 side=200 (pixels 200..400, 40..240) lies entirely "
                                 "outside the photograph (160 x 150)")
    assert frame["error"].isna().tolist() == [True, False, True]
    assert frame["warning"].isna().tolist() == [False, True, False]
    status, stderr, report = run_texturemeter_cli(tmp_path, photos, "--seed", "3", "--x", "200", "--y", "40")
    assert status == 1
    assert as_arguments(report["images"][1]["error"]) == frame["error"][1]
