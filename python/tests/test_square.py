"""skinmeters.texture(image, square=...): a square file or dict gives texturemeter-cli's numbers for
the square's corner, parameters, variant and seed; what it leaves out comes from the arguments."""

import json
import shutil

import pytest

import skinmeters
from conftest import TEXTURE_PHOTOS, assert_identical, run_texturemeter_cli


def measurements(result):
    return {k: v for k, v in result.items() if k not in ("seed", "exifOrientation", "warning")}


def square_document(photo, **fields):
    return {"format": "texturemeter-square", "version": 1, "photo": photo, "x": 30, "y": 12, "side": 180,
            "window": 30.5, "neighbour": 3, "variant": "B", "seed": 9007199254740993, **fields}


@pytest.fixture
def photo(tmp_path):
    target = tmp_path / "P0001.jpg"
    shutil.copyfile(TEXTURE_PHOTOS[1], target)
    return target


def test_a_square_file_gives_the_cli_numbers_for_its_square(tmp_path, photo):
    square = tmp_path / "P0001.square.json"
    square.write_text(json.dumps(square_document("P0001.jpg")))
    status, stderr, report = run_texturemeter_cli(tmp_path, [photo], "--seed", "9007199254740993", "--x", "30",
                                                  "--y", "12", "--side", "180", "--window", "30.5",
                                                  "--neighbour", "3", "--variant", "B")
    assert status == 0, stderr
    result = skinmeters.texture(photo, square=square)
    assert result["seed"] == 9007199254740993
    assert_identical(measurements(result), report["images"][0]["measurements"])
    # The square's fields win over the arguments, which it leaves nothing to fill in.
    assert_identical(measurements(skinmeters.texture(str(photo), x=1, y=1, side=150, variant="A", seed=5,
                                                     square=str(square))),
                     report["images"][0]["measurements"])
    # The same square as a dict, with or without its format and version.
    assert_identical(measurements(skinmeters.texture(photo, square=square_document("P0001.jpg"))),
                     report["images"][0]["measurements"])
    bare = {k: v for k, v in square_document("P0001.jpg").items() if k not in ("format", "version", "photo")}
    assert_identical(measurements(skinmeters.texture(photo, square=bare)), report["images"][0]["measurements"])


def test_what_the_square_leaves_out_comes_from_the_arguments(tmp_path, photo):
    status, stderr, report = run_texturemeter_cli(tmp_path, [photo], "--seed", "4", "--x", "30", "--y", "12",
                                                  "--side", "150", "--variant", "C")
    assert status == 0, stderr
    partial = square_document("P0001.jpg", side=None, window=None, neighbour=None, variant=None, seed=None)
    result = skinmeters.texture(photo, side=150, variant="C", seed=4, square=partial)
    assert result["seed"] == 4
    assert_identical(measurements(result), report["images"][0]["measurements"])


def test_a_square_of_another_photograph_or_not_a_square_is_refused(tmp_path, photo):
    other = tmp_path / "other.square.json"
    other.write_text(json.dumps(square_document("P0002.jpg")))
    with pytest.raises(skinmeters.AnalysisError) as refused:
        skinmeters.texture(photo, square=other)
    assert str(refused.value) == f"{other} holds the square of P0002.jpg, not of P0001.jpg"
    with pytest.raises(skinmeters.AnalysisError) as refused:
        skinmeters.texture(photo, square=square_document("P0002.jpg"))
    assert str(refused.value) == "(square dict) holds the square of P0002.jpg, not of P0001.jpg"
    with pytest.raises(skinmeters.AnalysisError) as refused:
        skinmeters.texture(photo, square=square_document("P0001.jpg", variant="D"))
    assert str(refused.value) == 'Square file (square dict): "variant" "D" is not "A", "B" or "C"'
    with pytest.raises(skinmeters.AnalysisError) as refused:
        skinmeters.texture(photo, square=square_document("P0001.jpg", format="lesionmeter-marks"))
    assert "not a square document" in str(refused.value)
    with pytest.raises(skinmeters.AnalysisError) as missing:
        skinmeters.texture(photo, square=tmp_path / "none.square.json")
    assert str(missing.value) == f"File not found: {tmp_path / 'none.square.json'}"
    with pytest.raises(TypeError):
        skinmeters.texture(photo, square=5)
