"""EXIF orientation: the pixels are analysed as stored; results say the orientation and warn, as the CLIs do."""

import shutil
import struct
import subprocess
import warnings

import numpy
import pytest

import skinmeters
from conftest import LESION_PHOTOS, LESIONMETER_CLI, TEXTURE_PHOTOS, TEXTUREMETER_CLI, as_arguments, marks_of


def with_orientation(jpeg_bytes, orientation):
    """The JPEG with an Exif APP1 segment (little-endian TIFF, IFD0 holding the Orientation tag) after its start marker."""
    assert jpeg_bytes[:2] == b"\xff\xd8"
    ifd = struct.pack("<H", 1) + struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack("<I", 0)
    tiff = b"II*\x00" + struct.pack("<I", 8) + ifd
    body = b"Exif\x00\x00" + tiff
    return jpeg_bytes[:2] + b"\xff\xe1" + struct.pack(">H", len(body) + 2) + body + jpeg_bytes[2:]


@pytest.fixture
def turned(tmp_path):
    """The bundled skin and lesion photographs stored with EXIF orientation 6, beside plain copies."""
    paths = {}
    for name, source in (("skin", TEXTURE_PHOTOS[0]), ("lesion", LESION_PHOTOS[0])):
        plain = tmp_path / f"{name}.jpg"
        shutil.copyfile(source, plain)
        six = tmp_path / f"{name}6.jpg"
        six.write_bytes(with_orientation(plain.read_bytes(), 6))
        paths[name] = (plain, six)
    return paths


def cli_warnings(program, *arguments):
    done = subprocess.run([program, *map(str, arguments)], capture_output=True, text=True)
    return done.returncode, [line for line in done.stderr.splitlines() if ": warning: " in line]


def test_a_turned_texture_photograph_is_analysed_as_stored_and_warned_of(tmp_path, turned):
    plain, six = turned["skin"]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        as_stored = skinmeters.texture(plain, seed=2)
    assert as_stored["exifOrientation"] == 0 and as_stored["warning"] is None
    with pytest.warns(skinmeters.AnalysisWarning) as caught:
        result = skinmeters.texture(six, seed=2)
    assert result["exifOrientation"] == 6
    (text,) = [str(w.message) for w in caught]
    assert result["warning"] == text
    assert text.startswith("EXIF orientation 6: ") and "90 degrees clockwise" in text
    # The same numbers as the photograph without the tag: the pixels are not turned.
    assert {k: v for k, v in result.items() if k not in ("exifOrientation", "warning")} == \
        {k: v for k, v in as_stored.items() if k not in ("exifOrientation", "warning")}
    status, warned = cli_warnings(TEXTUREMETER_CLI, "--seed", "2", "--output", tmp_path / "r.csv", six)
    assert status == 0
    assert warned == [f"texturemeter-cli: {six}: warning: {text}"]
    # Both warnings, in the CLI's order, when the square also reaches past the edge.
    with pytest.warns(skinmeters.AnalysisWarning) as caught:
        result = skinmeters.texture(six, x=500, seed=2)
    status, warned = cli_warnings(TEXTUREMETER_CLI, "--seed", "2", "--x", "500", "--output", tmp_path / "r.csv", six)
    assert [f"texturemeter-cli: {six}: warning: {str(w.message)}" for w in caught] == [as_arguments(w) for w in warned]
    assert result["warning"].split("\n") == [str(w.message) for w in caught]
    assert len(warned) == 2


def test_orientation_in_a_batch(turned):
    plain, six = turned["skin"]
    with pytest.warns(skinmeters.AnalysisWarning) as caught:
        frame = skinmeters.batch([plain, six, plain.parent / "missing.jpg"], seed=1)
    assert str(frame["exifOrientation"].dtype) == "Int64"
    assert frame["exifOrientation"][0] == 0 and frame["exifOrientation"][1] == 6
    assert frame["exifOrientation"].isna().tolist() == [False, False, True]
    assert [str(w.message) for w in caught] == [f"{six}: {frame['warning'][1]}"]
    assert frame["warning"][0] is None


def test_a_turned_lesion_photograph_is_analysed_as_stored_and_warned_of(tmp_path, turned):
    plain, six = turned["lesion"]
    marks = marks_of(None)
    del marks["photo"]
    as_stored = skinmeters.lesion(plain, marks, seed=3)
    with pytest.warns(skinmeters.AnalysisWarning) as caught:
        result = skinmeters.lesion(six, marks, seed=3)
    assert result["exifOrientation"] == 6 and as_stored["exifOrientation"] == 0
    assert [str(w.message) for w in caught] == [result["warning"]]
    assert {k: v for k, v in result.items() if k not in ("exifOrientation", "warning")} == \
        {k: v for k, v in as_stored.items() if k not in ("exifOrientation", "warning")}
    positions = [a for kind in ("in", "out") for x, y in marks[kind] for a in (f"--{kind}", f"{x},{y}")]
    status, warned = cli_warnings(LESIONMETER_CLI, six, "--seed", "3", *positions)
    assert status == 0
    assert warned == [f"lesionmeter-cli: {six}: warning: {result['warning']}"]
