"""skinmeters.batch on the tools' one batch runner: columns in the tools' order, one call of the
compiled runner per batch and per Dask chunk, the interpreter free while it runs."""

import json
import logging

import numpy
import pandas
import pytest

import skinmeters
from conftest import (flatten, marks_of, other_threads_run_inside, run_lesionmeter_cli, run_texturemeter_cli,
                      write_bmp)
from skinmeters import _skinmeters

FIT_SUFFIXES = (".rSquared", ".dimensionCi95.1", ".dimensionCi95.2")


def reported_names(image):
    """The measurement names of a --json report's image, in its order (the fits left out)."""
    return list(flatten({name: value for name, value in image["measurements"].items() if name != "fits"}))


def assert_fits_beside_their_dimensions(names, kind):
    for dimension in skinmeters._rows.DIMENSION_FITS[kind]:
        at = names.index(dimension)
        assert names[at + 1:at + 4] == [dimension + suffix for suffix in FIT_SUFFIXES]


def test_texture_columns_come_in_the_order_of_texturemeter_cli_report(tmp_path, made_photos):
    photos = [tmp_path / "missing.bmp", made_photos[0][0]]
    frame = skinmeters.batch(photos, seed=3, jobs=1)
    status, _, report = run_texturemeter_cli(tmp_path, photos, "--seed", "3")
    assert status == 1
    names = _skinmeters.measurement_names("texture")
    assert [name for name in names if not name.endswith(FIT_SUFFIXES)] == reported_names(report["images"][1])
    assert_fits_beside_their_dimensions(names, "texture")
    assert list(frame.columns) == ["photo", "path", "bytes", "sha256", *names, "exifOrientation", "warning", "seed",
                                   "error"]


def test_lesion_columns_come_in_the_order_of_lesionmeter_cli_report_whichever_row_comes_first(tmp_path,
                                                                                               made_lesions):
    # First a photograph without marks (no measurements), then one whose "axis" finds no outline,
    # then one measured whole: the columns are the table's, whichever row comes first.
    write_bmp(tmp_path / "unmarked.bmp", numpy.full((240, 320, 3), 90, numpy.uint8))
    write_bmp(tmp_path / "flat.bmp", numpy.full((240, 320, 3), 128, numpy.uint8))
    (tmp_path / "flat.marks.json").write_text(json.dumps(marks_of("flat.bmp", **{"in": [[10, 10]],
                                                                                  "out": [[20, 20]]})))
    photos = [tmp_path / "unmarked.bmp", tmp_path / "flat.bmp", made_lesions[0][0]]
    frame = skinmeters.batch(photos, kind="lesion", seed=2, jobs=2)
    status, _, _, report = run_lesionmeter_cli(tmp_path, "--csv", tmp_path / "l.csv", "--seed", "2", *photos)
    assert status == 1
    names = _skinmeters.measurement_names("lesion")
    assert [name for name in names if not name.endswith(FIT_SUFFIXES)] == reported_names(report["images"][2])
    assert_fits_beside_their_dimensions(names, "lesion")
    assert list(frame.columns) == ["photo", "path", "bytes", "sha256", *names, "exifOrientation", "warning", "seed",
                                   "error"]
    assert frame["outlineDimension.rSquared"].isna().tolist() == [True, False, False]
    for i in (1, 2):
        fit = report["images"][i]["measurements"]["fits"]["outline"]
        assert frame["outlineDimension.rSquared"][i] == fit["rSquared"]
        assert frame["error"][i] == report["images"][i].get("error")


def counting_runner(monkeypatch):
    """The places and the thread count of every call of the compiled batch runner."""
    calls = []
    real = _skinmeters.run_batch

    def counting(kind, paths, places, parameters, marks, seed, clock_base, fits, jobs, *rest):
        calls.append((list(places), jobs))
        return real(kind, paths, places, parameters, marks, seed, clock_base, fits, jobs, *rest)

    monkeypatch.setattr(_skinmeters, "run_batch", counting)
    return calls


def test_a_local_batch_is_one_call_of_the_runner(made_photos, monkeypatch):
    calls = counting_runner(monkeypatch)
    photos = [p for p, _ in made_photos[:6]]
    skinmeters.batch(photos, seed=4, jobs=2)
    assert calls == [(list(range(6)), 2)]


def test_each_dask_chunk_is_one_call_of_the_runner_on_one_thread(made_photos, monkeypatch):
    distributed = pytest.importorskip("distributed")
    photos = [p for p, _ in made_photos[:12]]
    local = skinmeters.batch(photos, seed=8, jobs=2, variant="B")
    calls = counting_runner(monkeypatch)
    # Workers in this process, so that they call the counting runner.
    with distributed.Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None,
                            silence_logs=logging.ERROR) as client:
        frame = skinmeters.batch(photos, seed=8, client=client, chunk=5, variant="B")
    assert sorted(calls) == [([0, 1, 2, 3, 4], 1), ([5, 6, 7, 8, 9], 1), ([10, 11], 1)]
    pandas.testing.assert_frame_equal(frame, local)


def test_other_threads_run_while_a_batch_is_analysed(made_photos):
    photos = [p for p, _ in made_photos] * 2
    assert other_threads_run_inside(_skinmeters.run_batch, lambda: skinmeters.batch(photos, seed=1, jobs=1))


def test_the_progress_is_called_once_per_row_and_its_error_stops_the_batch(made_photos):
    photos = [p for p, _ in made_photos[:4]]
    tasks, _ = skinmeters._batch_tasks(photos, "texture", 5, None, {})
    counted = []
    rows = skinmeters._run_rows(tasks, jobs=2, progress=counted.append)
    assert counted == [1, 1, 1, 1] and [row["seed"] for row in rows] == [skinmeters.photo_seed(5, i) for i in range(4)]

    def failing(step):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        skinmeters._run_rows(tasks, jobs=1, progress=failing)


def test_progress_dask_shows_dask_progress_of_the_batch_tasks(made_photos, capsys):
    distributed = pytest.importorskip("distributed")
    photos = [p for p, _ in made_photos[:6]]
    with pytest.raises(ValueError, match="needs a client"):
        skinmeters.batch(photos, seed=6, progress="dask")
    with pytest.raises(ValueError, match="progress must be"):
        skinmeters.batch(photos, seed=6, progress="bar")
    local = skinmeters.batch(photos, seed=6, jobs=2)
    with distributed.Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None,
                            silence_logs=logging.ERROR) as client:
        capsys.readouterr()
        frame = skinmeters.batch(photos, seed=6, client=client, chunk=2, progress="dask")
        shown = capsys.readouterr()
        # The futures are the batch's own tasks: dask.distributed.progress takes them as they are.
        submitted = []
        skinmeters._cluster.run(client, skinmeters._batch_tasks(photos, "texture", 6, None, {})[0],
                                skinmeters._analyse_chunk, chunk=3, submitted=submitted.extend)
        assert all(f.status == "finished" for f in submitted)
    assert "100% Completed" in shown.out and "skinmeters.batch" not in shown.err
    pandas.testing.assert_frame_equal(frame, local)
    assert len(submitted) == 2 and all(f.key.startswith("skinmeters-batch-") for f in submitted)
