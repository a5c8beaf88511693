"""A batch's provenance (DataFrame.attrs and the file of each row), fit columns, fits=True,
progress and resume=, on local threads."""

import hashlib
import os

import pandas
import pytest

import skinmeters
from conftest import TEXTURE_PHOTOS


def test_attrs_hold_the_program_version_parameters_and_seed(made_photos):
    photos = [p for p, _ in made_photos[:2]]
    frame = skinmeters.batch(photos, seed=7, side=150, window=30, variant="b", jobs=1)
    assert frame.attrs == {"program": "skinmeters.batch", "version": skinmeters.__version__, "kind": "texture",
                           "parameters": {"x": 0, "y": 0, "side": 150, "window": 30, "neighbour": 4, "variant": "B"},
                           "seed": 7, "seedSource": "option"}
    drawn = skinmeters.batch(photos, jobs=1)
    assert drawn.attrs["seedSource"] == "clock" and drawn.attrs["seed"] == int(drawn["seed"][0])
    lesions = skinmeters.batch([], kind="lesion", fit=True)
    assert lesions.attrs["parameters"] == {"fit": True, "seed": None}
    assert lesions.attrs["seed"] is None and lesions.attrs["seedSource"] == "each image"


def test_each_row_names_the_file_it_measured(tmp_path, made_photos, monkeypatch):
    monkeypatch.chdir(made_photos[0][0].parent)
    names = [made_photos[0][0].name, str(tmp_path / "missing.bmp"), os.fsencode(made_photos[1][0].name)]
    frame = skinmeters.batch(names, seed=1, jobs=2)
    # "photo" is the name as given, "path" the file read (relative names from the current folder).
    assert list(frame["photo"]) == [made_photos[0][0].name, str(tmp_path / "missing.bmp"), made_photos[1][0].name]
    assert list(frame["path"]) == [str(made_photos[0][0]), str(tmp_path / "missing.bmp"), str(made_photos[1][0])]
    content = made_photos[1][0].read_bytes()
    assert frame["bytes"][2] == len(content) and frame["sha256"][2] == hashlib.sha256(content).hexdigest()
    assert frame["bytes"][1] is pandas.NA and frame["sha256"][1] is None
    assert list(frame.columns[:4]) == ["photo", "path", "bytes", "sha256"]


def test_each_fitted_dimension_has_its_r_squared_and_interval_beside_it():
    frame = skinmeters.batch(TEXTURE_PHOTOS[:1], seed=3, jobs=1)
    result = skinmeters.texture(TEXTURE_PHOTOS[0], seed=3)
    columns = list(frame.columns)
    for name, fit in (("outlineDimension", result["fits"]["outline"]),
                      ("totalDimension", result["fits"]["monochrome"]["wholeWindow"])):
        at = columns.index(name)
        assert columns[at + 1:at + 4] == [f"{name}.rSquared", f"{name}.dimensionCi95.1", f"{name}.dimensionCi95.2"]
        assert frame[name][0] == fit["dimension"] == result[name]
        assert frame[f"{name}.rSquared"][0] == fit["rSquared"]
        assert [frame[f"{name}.dimensionCi95.1"][0], frame[f"{name}.dimensionCi95.2"][0]] == fit["dimensionCi95"]
        assert fit["dimensionCi95"][0] < fit["dimension"] < fit["dimensionCi95"][1]


def test_fits_true_keeps_the_whole_fits_in_a_column(tmp_path, made_photos):
    photos = [made_photos[2][0], tmp_path / "missing.bmp"]
    frame = skinmeters.batch(photos, seed=4, fits=True, jobs=1)
    assert list(frame.columns[-3:]) == ["fits", "seed", "error"]
    alone = skinmeters.texture(photos[0], seed=4)
    assert frame["fits"][0] == alone["fits"]
    assert frame["fits"][1] is None
    assert "fits" not in skinmeters.batch(photos, seed=4, jobs=1).columns


def test_progress_shows_a_bar_of_every_photograph(made_photos, capsys):
    photos = [p for p, _ in made_photos[:3]]
    quiet = skinmeters.batch(photos, seed=2, jobs=2)
    assert capsys.readouterr().err == ""
    shown = skinmeters.batch(photos, seed=2, jobs=2, progress=True)
    err = capsys.readouterr().err
    assert "skinmeters.batch" in err and "3/3" in err
    pandas.testing.assert_frame_equal(quiet, shown)


def test_resume_analyses_only_the_rows_not_there(made_photos, monkeypatch):
    photos = [p for p, _ in made_photos[:5]]
    whole = skinmeters.batch(photos, seed=11, jobs=2, variant="C")
    # An interrupted batch: rows 1 and 3 finished (a ClusterError's frame is indexed by place).
    part = whole.iloc[[1, 3]]
    analysed = []
    real = skinmeters._run_rows

    def counting(tasks, *rest, **options):
        analysed.extend(task[2] for task in tasks)
        return real(tasks, *rest, **options)

    monkeypatch.setattr(skinmeters, "_run_rows", counting)
    resumed = skinmeters.batch(photos, seed=11, jobs=2, variant="C", resume=part)
    assert sorted(analysed) == [0, 2, 4]
    pandas.testing.assert_frame_equal(resumed, whole)
    # A batch drawn from the clock resumes with its seed.
    drawn = skinmeters.batch(photos[:2], jobs=1)
    again = skinmeters.batch(photos[:2], jobs=1, resume=drawn.iloc[[0]])
    pandas.testing.assert_frame_equal(again, drawn)


def test_resume_refuses_another_batch(made_photos):
    photos = [p for p, _ in made_photos[:2]]
    done = skinmeters.batch(photos, seed=1, jobs=1)
    with pytest.raises(ValueError, match="parameters"):
        skinmeters.batch(photos, seed=1, side=150, resume=done)
    with pytest.raises(ValueError, match="seed"):
        skinmeters.batch(photos, seed=2, resume=done)
    with pytest.raises(ValueError, match="not in this batch"):
        skinmeters.batch(photos[::-1], seed=1, resume=done)
    with pytest.raises(TypeError, match="resume"):
        skinmeters.batch(photos, seed=1, resume=[1])
