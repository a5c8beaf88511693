"""skinmeters writes no file: no results file, RGB output, derived picture or transfer file, beside the
photographs, in the working folder or in the home folder (where "C:\\frHgg.txt" and "c:\\RGBa.txt" go).
So no photograph or picture of the user can be replaced by it."""

import json
import os
import shutil

import pytest

import skinmeters
from conftest import LESION_PHOTOS, TEXTURE_PHOTOS, marks_of, textured_photo, write_bmp


def snapshot(*folders):
    """Every file under the folders: its bytes and modification time."""
    files = {}
    for folder in folders:
        for root, _, names in os.walk(folder):
            for name in names:
                path = os.path.join(root, name)
                files[path] = (open(path, "rb").read(), os.stat(path).st_mtime_ns)
    return files


def test_no_analysis_writes_any_file(tmp_path, monkeypatch):
    home, work, photos = tmp_path / "home", tmp_path / "work", tmp_path / "photos"
    for folder in (home, work, photos):
        folder.mkdir()
    monkeypatch.setenv("HOME", str(home))
    monkeypatch.chdir(work)
    # A texture photograph with the user's own pictures under the derived names beside it, a lesion
    # photograph with one under its outline name, and pictures where the default files would go.
    shutil.copyfile(TEXTURE_PHOTOS[0], photos / "Pskin.jpg")
    for letter in "hiabcde":
        write_bmp(photos / f"skin{letter}.bmp", textured_photo(ord(letter), 40, 50))
    shutil.copyfile(LESION_PHOTOS[0], photos / "x.jpg")
    write_bmp(photos / "xU.bmp", textured_photo(1, 40, 50))
    (photos / "x.marks.json").write_text(json.dumps(marks_of("x.jpg", seed=4)))
    for name in ("frHgg.txt", "RGBa.txt", "10esult.txt", "testt2.bmp", "lesionU.bmp"):
        write_bmp(home / name, textured_photo(2, 30, 30))
        write_bmp(work / name, textured_photo(3, 30, 30))
    before = snapshot(tmp_path)

    skinmeters.texture(photos / "Pskin.jpg", seed=1)
    skinmeters.texture(photos / "Pskin.jpg", x=150, y=100, variant="B", seed=1)
    skinmeters.texture(textured_photo(4), variant="C", seed=1)
    skinmeters.lesion(photos / "x.jpg", photos / "x.marks.json")
    skinmeters.lesion(photos / "x.jpg", marks_of("x.jpg"), seed=2, fit=True)
    skinmeters.batch([photos / "Pskin.jpg", photos / "missing.jpg"], seed=1, jobs=2)
    skinmeters.batch([photos / "x.jpg"], kind="lesion")
    with pytest.raises(skinmeters.AnalysisError):
        skinmeters.texture(photos / "Pskin.jpg", x=5000, seed=1)

    assert snapshot(tmp_path) == before
