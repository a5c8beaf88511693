"""Lesions from positions (inside=, outside=, centre=) and marks files read and written from Python,
against lesionmeter-cli."""

import json
import shutil

import pytest

import skinmeters
from conftest import LESION_MARKS, LESION_PHOTOS, assert_identical, marks_of, run_lesionmeter_cli

PHOTO = LESION_PHOTOS[0]
POSITIONS = {"inside": [tuple(p) for p in LESION_MARKS["in"]], "outside": [tuple(p) for p in LESION_MARKS["out"]],
             "centre": tuple(LESION_MARKS["centre"])}


def cli_options(seed):
    options = []
    for x, y in LESION_MARKS["in"]:
        options += ["--in", f"{x},{y}"]
    for x, y in LESION_MARKS["out"]:
        options += ["--out", f"{x},{y}"]
    return [*options, "--centre", "{},{}".format(*LESION_MARKS["centre"]), "--seed", str(seed)]


def test_positions_give_the_numbers_of_a_marks_document_and_of_the_cli(tmp_path):
    from_positions = skinmeters.lesion(PHOTO, seed=7, **POSITIONS)
    assert from_positions == skinmeters.lesion(PHOTO, marks_of(PHOTO.name), seed=7)
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, PHOTO, *cli_options(7))
    assert status == 0, stderr
    (image,) = report["images"]
    assert_identical({k: v for k, v in from_positions.items() if k not in ("seed", "exifOrientation", "warning")},
                     image["measurements"])
    # Without a centre, as --centre left out.
    without = skinmeters.lesion(PHOTO, seed=7, inside=POSITIONS["inside"], outside=POSITIONS["outside"])
    assert without == skinmeters.lesion(PHOTO, {**marks_of(PHOTO.name), "centre": None}, seed=7)


def test_positions_and_marks_are_one_or_the_other():
    with pytest.raises(TypeError, match="not both"):
        skinmeters.lesion(PHOTO, marks_of(PHOTO.name), **POSITIONS)
    with pytest.raises(TypeError, match="needs marks"):
        skinmeters.lesion(PHOTO)
    # Positions are checked as a marks file's are: 51 samples of a class are refused.
    with pytest.raises(skinmeters.AnalysisError, match="50"):
        skinmeters.lesion(PHOTO, inside=[(10, 10)] * 51, outside=[(20, 20)])


def test_write_marks_writes_what_the_cli_saves(tmp_path):
    status, _, stderr, _ = run_lesionmeter_cli(tmp_path, PHOTO, *cli_options(9), "--save-marks",
                                               tmp_path / "cli.marks.json")
    assert status == 0, stderr
    skinmeters.write_marks(tmp_path / "py.marks.json", photo=PHOTO.name, seed=9, **POSITIONS)
    assert (tmp_path / "py.marks.json").read_bytes() == (tmp_path / "cli.marks.json").read_bytes()
    read = skinmeters.read_marks(tmp_path / "py.marks.json")
    assert read == marks_of(PHOTO.name, seed=9)
    # A dict read back writes the same file, and analyses as the file does.
    skinmeters.write_marks(str(tmp_path / "again.marks.json"), read)
    assert (tmp_path / "again.marks.json").read_bytes() == (tmp_path / "cli.marks.json").read_bytes()
    assert skinmeters.lesion(PHOTO, read) == skinmeters.lesion(PHOTO, tmp_path / "cli.marks.json")


def test_write_marks_refuses_what_the_tools_refuse(tmp_path):
    picture = tmp_path / "photo.jpg"
    shutil.copyfile(PHOTO, picture)
    with pytest.raises(skinmeters.AnalysisError, match="is a JPEG picture, not a marks file; it is not replaced"):
        skinmeters.write_marks(picture, marks_of(PHOTO.name))
    assert picture.read_bytes() == PHOTO.read_bytes()
    target = tmp_path / "m.marks.json"
    with pytest.raises(skinmeters.AnalysisError, match="scale"):
        skinmeters.write_marks(target, {**marks_of(PHOTO.name), "scale": 2.0})
    with pytest.raises(skinmeters.AnalysisError, match="seed"):
        skinmeters.write_marks(target, photo="a.jpg", inside=[(1, 1)], seed=-1)
    assert not target.exists()
    with pytest.raises(TypeError, match="not both"):
        skinmeters.write_marks(target, marks_of(PHOTO.name), seed=3)


def test_read_marks_refuses_what_is_no_marks_file(tmp_path):
    (tmp_path / "other.json").write_text(json.dumps({**marks_of("a.jpg"), "format": "something else"}))
    with pytest.raises(skinmeters.AnalysisError, match="other.json"):
        skinmeters.read_marks(tmp_path / "other.json")
    with pytest.raises(skinmeters.AnalysisError, match="File not found"):
        skinmeters.read_marks(tmp_path / "missing.marks.json")
