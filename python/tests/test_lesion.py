"""skinmeters.lesion against lesionmeter-cli --json: marks files and dicts, seeds, arrays, errors."""

import json
import shutil

import numpy
import pytest

import skinmeters
from skinmeters import _skinmeters
from conftest import (LESION_PHOTOS, assert_identical, lesion_photo, marks_of, other_threads_run_inside,
                      run_lesionmeter_cli, write_bmp)


def measurements(result):
    """A result without what it reports beside the measurements."""
    return {k: v for k, v in result.items() if k not in ("seed", "exifOrientation", "warning")}


def cli_measurements(report):
    """The one photograph's measurements in lesionmeter-cli's --json report."""
    (image,) = report["images"]
    return image["measurements"]


def write_marks(path, marks):
    path.write_text(json.dumps(marks))
    return path


@pytest.mark.parametrize("photo", LESION_PHOTOS, ids=lambda p: p.name)
def test_bundled_photos_equal_the_cli(tmp_path, photo):
    marks = write_marks(tmp_path / "m.marks.json", marks_of(photo.name))
    status, stdout, stderr, report = run_lesionmeter_cli(tmp_path, photo, "--marks", marks, "--seed", "7")
    assert status == 0, stderr
    result = skinmeters.lesion(str(photo), str(marks), seed=7)
    assert result["seed"] == 7
    assert_identical(measurements(result), cli_measurements(report))
    # A dict of the same shape as the file gives the same numbers.
    assert skinmeters.lesion(photo, marks_of(photo.name), seed=7) == result


def test_the_seed_comes_from_the_argument_then_the_marks(tmp_path):
    photo = LESION_PHOTOS[0]
    marks = write_marks(tmp_path / "m.marks.json", marks_of(photo.name, seed=41))
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, photo, "--marks", marks)
    assert status == 0, stderr
    from_marks = skinmeters.lesion(photo, marks)
    assert from_marks["seed"] == 41
    assert_identical(measurements(from_marks), cli_measurements(report))

    status, _, stderr, report = run_lesionmeter_cli(tmp_path, photo, "--marks", marks, "--seed", "5")
    assert status == 0, stderr
    overridden = skinmeters.lesion(photo, marks, seed=5)
    assert overridden["seed"] == 5
    assert_identical(measurements(overridden), cli_measurements(report))
    assert measurements(overridden) != measurements(from_marks)


def test_without_any_seed_the_one_drawn_is_reported_and_repeats_the_run():
    photo = LESION_PHOTOS[0]
    first = skinmeters.lesion(photo, marks_of(photo.name))
    assert isinstance(first["seed"], int) and 0 <= first["seed"] < 2**53
    assert skinmeters.lesion(photo, marks_of(photo.name), seed=first["seed"]) == first
    assert skinmeters.lesion(photo, marks_of(photo.name, seed=first["seed"])) == first


def test_array_input_equals_file_input(tmp_path):
    rgb = lesion_photo(3)
    write_bmp(tmp_path / "made.bmp", rgb)
    marks = marks_of("made.bmp")
    from_file = skinmeters.lesion(tmp_path / "made.bmp", marks, seed=2)
    assert skinmeters.lesion(rgb, marks, seed=2) == from_file
    # Views are read with their strides; RGB order matters.
    wide = numpy.zeros((260, 360, 3), numpy.uint8)
    wide[10:250, 20:340] = rgb
    assert skinmeters.lesion(wide[10:250, 20:340], marks, seed=2) == from_file
    assert skinmeters.lesion(numpy.asfortranarray(rgb), marks, seed=2) == from_file
    assert skinmeters.lesion(numpy.ascontiguousarray(rgb[:, :, ::-1]), marks, seed=2) != from_file


def test_a_large_photograph_is_reduced_to_fit_as_the_cli_does(tmp_path):
    # 640 x 480: the lesion photograph in the top-left quarter, skin tone around it.
    large = numpy.empty((480, 640, 3), numpy.uint8)
    large[...] = (219, 169, 149)
    large[:240, :320] = lesion_photo(4)
    write_bmp(tmp_path / "large.bmp", large)
    # The CLI writes the marks of the reduced photograph (positions in its pixels), with its scale.
    scaled = {name: [[x * 0.78125, y * 0.78125] for x, y in marks_of("")[name]] for name in ("in", "out")}
    status, _, stderr, _ = run_lesionmeter_cli(
        tmp_path, tmp_path / "large.bmp", "--fit", "--seed", "3", "--save-marks", tmp_path / "large.marks.json",
        *[a for x, y in scaled["in"] for a in ("--in", f"{x},{y}")],
        *[a for x, y in scaled["out"] for a in ("--out", f"{x},{y}")], "--centre", "125,93.75")
    assert status == 0, stderr
    marks = json.loads((tmp_path / "large.marks.json").read_text())
    assert marks["scale"] == 0.78125 and marks["seed"] == 3
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, tmp_path / "large.bmp", "--marks",
                                                    tmp_path / "large.marks.json", "--fit")
    assert status == 0, stderr
    result = skinmeters.lesion(tmp_path / "large.bmp", marks, fit=True)
    assert result["seed"] == 3
    assert_identical(measurements(result), cli_measurements(report))
    assert skinmeters.lesion(large, marks, fit=True) == result
    with pytest.raises(skinmeters.AnalysisError):   # too large for the lesion map without fit
        skinmeters.lesion(large, marks)


def check_cli_error(tmp_path, caught, *arguments):
    status, _, stderr, _ = run_lesionmeter_cli(tmp_path, *arguments)
    assert status != 0
    assert f"lesionmeter-cli: {caught.value}" in stderr.splitlines()


def test_errors_carry_the_cli_message(tmp_path):
    photo = LESION_PHOTOS[0]
    marks = write_marks(tmp_path / "m.marks.json", marks_of(photo.name))
    missing = tmp_path / "missing.jpg"
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.lesion(missing, marks, seed=1)
    assert str(caught.value) == f"File not found: {missing}"
    check_cli_error(tmp_path, caught, missing, "--marks", marks, "--seed", "1")

    with pytest.raises(skinmeters.AnalysisError) as caught:   # an empty name is a file name too
        skinmeters.lesion("", marks, seed=1)
    check_cli_error(tmp_path, caught, "", "--marks", marks, "--seed", "1")

    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.lesion(photo, tmp_path / "none.marks.json", seed=1)
    assert str(caught.value) == f"File not found: {tmp_path / 'none.marks.json'}"
    check_cli_error(tmp_path, caught, photo, "--marks", tmp_path / "none.marks.json", "--seed", "1")

    for broken in [{**marks_of(photo.name), "version": 2},
                   {**marks_of(photo.name), "in": [[400, 10]]},            # outside the photograph
                   {**marks_of(photo.name), "in": [[1, 1]] * 51},
                   marks_of(photo.name, out=[])]:                           # no OUT sample
        path = write_marks(tmp_path / "broken.marks.json", broken)
        with pytest.raises(skinmeters.AnalysisError) as from_file:
            skinmeters.lesion(photo, path, seed=1)
        check_cli_error(tmp_path, from_file, photo, "--marks", path, "--seed", "1")
        with pytest.raises(skinmeters.AnalysisError) as from_dict:
            skinmeters.lesion(photo, broken, seed=1)
        # A dict is named as such where a file would be named.
        assert str(from_dict.value) == str(from_file.value).replace(str(path), "(marks dict)")


def test_an_axis_without_outline_keeps_the_other_measurements(tmp_path):
    flat = numpy.full((240, 320, 3), 128, numpy.uint8)
    write_bmp(tmp_path / "flat.bmp", flat)
    marks = write_marks(tmp_path / "flat.marks.json", marks_of("flat.bmp", **{"in": [[10, 10]], "out": [[20, 20]]}))
    with pytest.raises(skinmeters.AnalysisError, match="the discriminant found no lesion pixel") as caught:
        skinmeters.lesion(flat, marks, seed=1)
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, tmp_path / "flat.bmp", "--marks", marks, "--seed", "1")
    assert status == 1
    assert f"lesionmeter-cli: {caught.value}" in stderr.splitlines()
    assert caught.value.measurements["seed"] == 1
    assert_identical(measurements(caught.value.measurements), cli_measurements(report))


def test_argument_errors():
    photo = LESION_PHOTOS[0]
    with pytest.raises(TypeError, match="marks"):
        skinmeters.lesion(photo, 12)
    with pytest.raises(ValueError, match="seed"):
        skinmeters.lesion(photo, marks_of(photo.name), seed=-1)
    with pytest.raises(TypeError, match="uint8"):
        skinmeters.lesion(lesion_photo(1).astype(numpy.int16), marks_of(photo.name))
    # numpy positions are taken as the numbers they hold.
    marks = {**marks_of(photo.name), "in": numpy.array(marks_of(photo.name)["in"])}
    assert skinmeters.lesion(photo, marks, seed=3) == skinmeters.lesion(photo, marks_of(photo.name), seed=3)


def test_the_analysis_lets_other_threads_run():
    """While one thread is inside the lesion analysis, another runs Python code."""
    photo = LESION_PHOTOS[0]

    def calls():
        for _ in range(20):
            skinmeters.lesion(photo, marks_of(photo.name), seed=1)

    assert other_threads_run_inside(_skinmeters.lesion, calls)


def test_marks_of_another_photograph_are_refused_as_the_cli_refuses_them(tmp_path):
    photo = LESION_PHOTOS[0]
    other = write_marks(tmp_path / "m.marks.json", marks_of("other.jpg"))
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.lesion(photo, other, seed=1)
    assert str(caught.value) == f"{other} holds the marks of other.jpg, not of {photo.name}"
    status, stdout, stderr, report = run_lesionmeter_cli(tmp_path, photo, "--marks", other, "--seed", "1")
    assert status == 1 and stdout == ""
    assert stderr.splitlines() == [f"lesionmeter-cli: --marks {caught.value}"]
    # A dict is named as such.
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.lesion(photo, marks_of("other.jpg"), seed=1)
    assert str(caught.value) == f"(marks dict) holds the marks of other.jpg, not of {photo.name}"
    # In a batch it is that photograph's error, and the CLI's batch says the same.
    shutil.copyfile(photo, tmp_path / "renamed.jpg")
    shutil.copyfile(other, tmp_path / "renamed.marks.json")
    shutil.copyfile(photo, tmp_path / photo.name)
    write_marks(tmp_path / (photo.stem + ".marks.json"), marks_of(photo.name))
    photos = [tmp_path / "renamed.jpg", tmp_path / photo.name]
    frame = skinmeters.batch(photos, kind="lesion", seed=1)
    assert frame["error"][0] == f"{tmp_path / 'renamed.marks.json'} holds the marks of other.jpg, not of renamed.jpg"
    assert frame["error"][1] is None
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, "--csv", tmp_path / "r.csv", "--seed", "1", *photos)
    assert status == 1
    assert f"lesionmeter-cli: {photos[0]}: {frame['error'][0]}" in stderr.splitlines()
    assert report["images"][0]["error"] == frame["error"][0]


def test_a_marks_dict_may_leave_the_photo_out(tmp_path):
    photo = LESION_PHOTOS[0]
    expected = skinmeters.lesion(photo, marks_of(photo.name), seed=4)
    marks = marks_of(photo.name)
    del marks["photo"]
    assert skinmeters.lesion(photo, marks, seed=4) == expected
    assert skinmeters.lesion(photo, {**marks, "photo": None}, seed=4) == expected
    # With an array there is no name to compare: any photo name, or none, is taken.
    rgb = lesion_photo(5)
    write_bmp(tmp_path / "made.bmp", rgb)
    from_file = skinmeters.lesion(tmp_path / "made.bmp", marks, seed=4)
    assert skinmeters.lesion(rgb, marks, seed=4) == from_file
    assert skinmeters.lesion(rgb, {**marks, "photo": "elsewhere.jpg"}, seed=4) == from_file
    # A marks file must still name its photograph in the described form.
    write_marks(tmp_path / "nameless.marks.json", marks)
    with pytest.raises(skinmeters.AnalysisError, match='"photo" is not a file name'):
        skinmeters.lesion(rgb, tmp_path / "nameless.marks.json", seed=4)
    with pytest.raises(skinmeters.AnalysisError, match='"photo" is not a file name'):
        skinmeters.lesion(rgb, {**marks, "photo": 7}, seed=4)
