"""File names as the file system holds them: str (surrogate-escaped), bytes and os.PathLike, in
texture(), lesion() and batch(); a name that is no file name is its row's error in a batch."""

import json
import os
import pathlib
import shutil
import subprocess

import numpy
import pytest

import skinmeters
from conftest import LESION_PHOTOS, TEXTURE_PHOTOS, TEXTUREMETER_CLI, marks_of


def measurements_of(row):
    return {name: value for name, value in row.items() if name not in ("photo", "seed", "error")}


@pytest.fixture
def odd_folder(tmp_path):
    """a.jpg, b\\xff.jpg (not UTF-8) and c.jpg: the same photograph under three names, as bytes paths."""
    folder = os.fsencode(tmp_path)
    names = [folder + b"/a.jpg", folder + b"/b\xff.jpg", folder + b"/c.jpg"]
    for name in names:
        shutil.copyfile(TEXTURE_PHOTOS[0], name)
    return names


def test_a_name_that_is_not_utf8_is_read_in_every_spelling(odd_folder):
    name = odd_folder[1]
    as_text = os.fsdecode(name)
    assert "\udcff" in as_text                 # the surrogate-escaped text os.listdir gives
    assert os.fsdecode(name) in [os.path.join(os.path.dirname(as_text), n) for n in os.listdir(os.path.dirname(as_text))]
    from_bytes = skinmeters.texture(name, seed=3)
    assert skinmeters.texture(as_text, seed=3) == from_bytes
    assert skinmeters.texture(pathlib.Path(as_text), seed=3) == from_bytes
    # The same bytes under a plain name: the same photograph, the same numbers.
    assert skinmeters.texture(odd_folder[0], seed=3) == from_bytes


def test_a_batch_with_a_name_that_is_not_utf8_keeps_every_row(odd_folder):
    # The README's own pattern: names as glob or os.listdir give them (surrogate-escaped str).
    paths = [os.fsdecode(n) for n in odd_folder]
    frame = skinmeters.batch(paths, seed=4, jobs=2)
    assert list(frame["photo"]) == paths
    assert frame["error"].isna().all()
    for i, path in enumerate(paths):
        alone = skinmeters.texture(path, seed=skinmeters.photo_seed(4, i))
        row = frame.iloc[i].to_dict()
        assert int(row["seed"]) == alone["seed"]
        assert measurements_of(row)["totalDimension"] == alone["totalDimension"]
        assert measurements_of(row)["sampling.meanBrightness"] == alone["sampling"]["meanBrightness"]
    # Bytes and path objects give the same rows; the photo column shows them as str.
    pandas_frame = skinmeters.batch(odd_folder, seed=4, jobs=2)
    assert pandas_frame.equals(frame)
    assert skinmeters.batch([pathlib.Path(p) for p in paths], seed=4, jobs=1).equals(frame)


def test_a_missing_name_that_is_not_utf8_gives_the_clis_bytes(tmp_path, odd_folder):
    missing = os.fsencode(tmp_path) + b"/gone\xfe.jpg"
    frame = skinmeters.batch([odd_folder[0], missing, odd_folder[2]], seed=2)
    assert frame["error"].notna().tolist() == [False, True, False]
    error = frame["error"][1]
    assert os.fsencode(error) == b"File not found: " + missing
    with pytest.raises(skinmeters.AnalysisError) as caught:
        skinmeters.texture(missing, seed=2)
    assert str(caught.value) == error
    done = subprocess.run([TEXTUREMETER_CLI, "--seed", "2", "--output", tmp_path / "r.csv", odd_folder[0], missing],
                          capture_output=True)
    assert done.returncode == 1
    assert b"texturemeter-cli: " + missing + b": " + os.fsencode(error) in done.stderr.splitlines()


def test_what_is_no_file_name_is_that_rows_error(odd_folder):
    paths = [odd_folder[0], 17, "bad\0name.jpg", None, odd_folder[2]]
    frame = skinmeters.batch(paths, seed=1, jobs=2)
    assert len(frame) == 5
    assert frame["error"].isna().tolist() == [True, False, False, False, True]
    assert frame["error"][1] == "expected str, bytes or os.PathLike object, not int"
    assert frame["error"][2] == "file name holds a NUL byte: 'bad\\x00name.jpg'"
    assert frame["error"][3] == "expected str, bytes or os.PathLike object, not NoneType"
    assert frame["photo"][1] == 17 and frame["photo"][2] == "bad\0name.jpg"
    # The good rows are those of a batch without the bad names, place for place.
    assert frame["totalDimension"][0] == frame["totalDimension"][4]
    assert frame["sampling.meanBrightness"][4] == \
        skinmeters.texture(odd_folder[2], seed=skinmeters.photo_seed(1, 4))["sampling"]["meanBrightness"]
    # Alone, the same names raise the same errors.
    with pytest.raises(TypeError, match="not int"):
        skinmeters.texture(17)
    with pytest.raises(ValueError, match="NUL byte"):
        skinmeters.texture("bad\0name.jpg")
    with pytest.raises(ValueError, match="NUL byte"):
        skinmeters.lesion(LESION_PHOTOS[0], "m\0.json")


def test_lesions_under_names_that_are_not_utf8(tmp_path):
    folder = os.fsencode(tmp_path)
    plain, odd = folder + b"/plain.jpg", folder + b"/odd\xe9.jpg"
    for name in (plain, odd):
        shutil.copyfile(LESION_PHOTOS[0], name)
    marks = marks_of(LESION_PHOTOS[0].name)
    del marks["photo"]
    expected = skinmeters.lesion(plain, marks, seed=5)
    # A dict's photo may be the name as bytes or as surrogate-escaped text, or left out.
    assert skinmeters.lesion(odd, {**marks, "photo": b"odd\xe9.jpg"}, seed=5) == expected
    assert skinmeters.lesion(os.fsdecode(odd), {**marks, "photo": os.fsdecode(b"odd\xe9.jpg")}, seed=5) == expected
    assert skinmeters.lesion(odd, marks, seed=5) == expected
    # A batch finds the marks file beside the photograph under its bytes (odd\xe9.marks.json).
    with open(folder + b"/odd\xe9.marks.json", "w") as f:
        json.dump({**marks, "photo": ""}, f)
    frame = skinmeters.batch([os.fsdecode(odd), folder + b"/none\xff.jpg"], kind="lesion", seed=5)
    assert frame["error"][0] is None
    assert frame["outlineDimension"][0] == expected["outlineDimension"]
    assert os.fsencode(frame["error"][1]) == b"File not found: " + folder + b"/none\xff.marks.json"
    assert numpy.isnan(frame["outlineDimension"][1])
