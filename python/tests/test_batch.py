"""skinmeters.batch on local threads and on a two-worker Dask cluster, row for row against the CLI batch."""

import json
import logging
import math
import os

import numpy
import pandas
import pytest

import skinmeters
from conftest import (SAMPLES, TESTDATA, TEXTURE_PHOTOS, assert_identical, flatten, marks_of, run_lesionmeter_cli,
                      run_texturemeter_cli, write_bmp)

MEASURED = ["monochrome.meanDimension", "hessian.meanDimension", "totalDimension", "outlineDimension",
            "tone.histogramSpread", "sampling.meanBrightness", "sampling.ringBrightnessR41to47"]


# Columns beside the measurements: the file read, the notes, the seed and the error, and each
# fitted dimension's R² and fit interval (checked against the fits in assert_fit_columns).
BESIDE = ("photo", "path", "bytes", "sha256", "seed", "error", "exifOrientation", "warning", "fits")
FIT_COLUMNS = (".rSquared", ".dimensionCi95.1", ".dimensionCi95.2")


def measurements_of(row):
    return {name: value for name, value in row.items() if name not in BESIDE and not name.endswith(FIT_COLUMNS)}


def assert_rows_equal_the_cli(frame, photos, status, stderr, report):
    """Row i is image i of the CLI's --json report: its error, or its measurements bit for bit."""
    assert list(frame["photo"]) == [str(p) for p in photos]
    images = report["images"]
    assert [image["path"] for image in images] == [str(p) for p in photos]
    # Each row's seed is the one the CLI reports for the photograph at that place.
    assert [int(s) for s in frame["seed"]] == [image["seed"] for image in images]
    assert str(frame["seed"].dtype) == "UInt64"
    failures = [line for line in stderr.splitlines() if line.startswith("texturemeter-cli: ")]
    assert_provenance_equals_the_report(frame, report)
    for photo, row, image in zip(photos, frame.to_dict("records"), images):
        if "error" in image:
            assert row["error"] == image["error"]
            assert f"texturemeter-cli: {photo}: {row['error']}" in failures
            assert all(math.isnan(v) for v in measurements_of(row).values())
        else:
            assert row["error"] is None
            assert_fit_columns(row, image["measurements"]["fits"], skinmeters._rows.DIMENSION_FITS["texture"])
            # The batch's columns are the report's names joined by "."; every one is there and no other.
            # The fits behind the dimensions (lists of points and tiles) are texture()'s, not a row's.
            numbers = {name: value for name, value in image["measurements"].items() if name != "fits"}
            assert "fits" in image["measurements"]
            assert_identical(measurements_of(row), flatten(numbers), str(photo))
    assert status == (1 if failures else 0)


def assert_provenance_equals_the_report(frame, report):
    """The batch's attrs are the report's head (but the outputs only a tool writes), and each row's
    path, bytes, sha256 and seed its image's."""
    head = {name: value for name, value in report.items() if name != "images"}
    assert frame.attrs["version"] == head["version"] == skinmeters.__version__
    assert frame.attrs["seed"] == head["seed"] and frame.attrs["seedSource"] == head["seedSource"]
    for name, value in frame.attrs["parameters"].items():
        assert head["parameters"][name] == value, name
    assert str(frame["bytes"].dtype) == "Int64"
    for row, image in zip(frame.to_dict("records"), report["images"]):
        # The file read: relative names from the current folder (made absolute for a cluster's workers).
        assert row["path"] == os.path.join(os.getcwd(), image["path"])
        assert row["sha256"] == image.get("sha256")
        assert (None if row["bytes"] is pandas.NA else row["bytes"]) == image.get("sizeBytes")
        # The seed used or that would have been used, on failed rows too; none only where it is
        # not knowable (a lesion whose marks could not be read, without a given seed).
        assert (None if row["seed"] is pandas.NA else row["seed"]) == image["seed"], row["photo"]


def assert_fit_columns(row, fits, dimensions):
    """Each fitted dimension's R² and fit interval columns are its fit's, bit for bit."""
    assert dimensions
    for name, where in dimensions.items():
        fit = fits
        for key in where:
            fit = fit[key]
        assert row[name] == fit["dimension"]
        assert_identical({"r": row[f"{name}.rSquared"], "low": row[f"{name}.dimensionCi95.1"],
                          "high": row[f"{name}.dimensionCi95.2"]},
                         {"r": fit["rSquared"], "low": fit["dimensionCi95"][0], "high": fit["dimensionCi95"][1]}, name)


def test_local_threads_equal_the_cli_batch(tmp_path, made_photos):
    photos = [TEXTURE_PHOTOS[0], made_photos[0][0], tmp_path / "missing.jpg", TEXTURE_PHOTOS[1],
              made_photos[1][0], TEXTURE_PHOTOS[0]]
    frame = skinmeters.batch(photos, seed=5, jobs=3)
    assert frame.columns[0] == "photo"
    assert list(frame.columns[-2:]) == ["seed", "error"]
    assert set(MEASURED) <= set(frame.columns)
    assert [int(s) for s in frame["seed"]] == [skinmeters.photo_seed(5, i) for i in range(len(photos))]
    assert frame["seed"][0] == 5
    assert frame["error"][2] == f"File not found: {tmp_path / 'missing.jpg'}"
    assert frame["error"].isna().sum() == 5
    # The same photograph in two places of the list gets each place's random numbers.
    assert frame["totalDimension"][0] == frame["totalDimension"][5]
    assert frame["sampling.ringBrightnessR41to47"][0] != frame["sampling.ringBrightnessR41to47"][5]
    assert_rows_equal_the_cli(frame, photos, *run_texturemeter_cli(tmp_path, photos, "--seed", "5"))


def test_rows_do_not_depend_on_the_number_of_threads(made_photos):
    photos = [p for p, _ in made_photos[:6]]
    one = skinmeters.batch(photos, seed=9, jobs=1, side=150, variant="B")
    pandas.testing.assert_frame_equal(one, skinmeters.batch(photos, seed=9, jobs=4, side=150, variant="B"))
    # Row i is what texture() gives for photograph i with the seed the CLI derives for place i.
    for i in (0, 5):
        alone = skinmeters._texture(photos[i], 0, 0, 150, 40, 4, "B", 9, i)
        alone.pop("fits")
        assert alone.pop("seed") == int(one["seed"][i]) == skinmeters.photo_seed(9, i)
        assert alone.pop("exifOrientation") == one["exifOrientation"][i] == 0
        assert alone.pop("warning") is None and one["warning"][i] is None
        assert flatten(alone) == measurements_of(one.iloc[i].to_dict())


def test_a_batch_without_a_seed_can_be_repeated_with_the_seed_it_reports(made_photos):
    photos = [p for p, _ in made_photos[:3]]
    first = skinmeters.batch(photos)
    assert [int(s) for s in first["seed"]] == [skinmeters.photo_seed(int(first["seed"][0]), i) for i in range(3)]
    pandas.testing.assert_frame_equal(first, skinmeters.batch(photos, seed=int(first["seed"][0])))


def test_each_rows_seed_repeats_that_photograph_alone(tmp_path, made_photos):
    photos = [made_photos[6][0], tmp_path / "missing.bmp", made_photos[7][0], made_photos[8][0]]
    base = 2**64 - 2
    frame = skinmeters.batch(photos, seed=base, jobs=2, variant="C")
    # Exact 64-bit seeds on every row, the failing one too (no float64 rounding).
    assert str(frame["seed"].dtype) == "UInt64"
    assert frame["seed"].notna().all()
    assert [int(s) for s in frame["seed"]] == [skinmeters.photo_seed(base, i) for i in range(4)]
    assert frame["seed"][0] == base and len(set(frame["seed"])) == 4
    assert frame["error"][1] == f"File not found: {photos[1]}"
    for i in (2, 3):
        row = frame.iloc[i].to_dict()
        seed = int(row["seed"])
        # Given back with that photograph alone, the seed repeats its row exactly, in a batch and in texture().
        alone = skinmeters.batch([photos[i]], seed=seed, variant="C")
        assert alone.iloc[0].to_dict() == row
        result = skinmeters.texture(photos[i], seed=seed, variant="C")
        assert result["seed"] == seed
        result.pop("fits")
        assert_identical(measurements_of(row), flatten(measurements_of(result)))
        # texturemeter-cli reports the same seed for that place and repeats it alone too.
        status, stderr, report = run_texturemeter_cli(tmp_path, [photos[i]], "--seed", str(seed), "--variant", "C")
        assert status == 0, stderr
        assert report["images"][0]["seed"] == seed
        assert_identical(measurements_of(row), flatten(
            {k: v for k, v in report["images"][0]["measurements"].items() if k != "fits"}))
    status, stderr, report = run_texturemeter_cli(tmp_path, photos, "--seed", str(base), "--variant", "C")
    assert [image["seed"] for image in report["images"]] == [int(s) for s in frame["seed"]]


def test_a_lesion_batch_seed_column_is_exact_whatever_fails(tmp_path, made_lesions):
    photos = [made_lesions[1][0], tmp_path / "missing.bmp", made_lesions[2][0]]
    frame = skinmeters.batch(photos, kind="lesion", seed=2**64 - 1)
    assert str(frame["seed"].dtype) == "UInt64"
    assert [int(s) for s in frame["seed"]] == [2**64 - 1] * 3
    assert frame["error"].notna().tolist() == [False, True, False]
    # Without a seed: each marks' seed, or one of its own; a photograph that cannot be read has none.
    frame = skinmeters.batch(photos, kind="lesion")
    assert str(frame["seed"].dtype) == "UInt64"
    assert frame["seed"].isna().tolist() == [False, True, False]
    for i in (0, 2):
        again = skinmeters.batch([photos[i]], kind="lesion", seed=int(frame["seed"][i]))
        assert again.iloc[0].to_dict() == frame.iloc[i].to_dict()


def test_a_failed_lesion_row_has_the_seed_the_cli_reports_for_it(tmp_path, made_lesions):
    """The seed of a lesion that fails is the one its run used or would have used: the given seed,
    else its marks' once they were read; None only when the marks could not be read."""
    write_bmp(tmp_path / "off.bmp", numpy.full((40, 50, 3), 90, numpy.uint8))
    (tmp_path / "off.marks.json").write_text(
        json.dumps(marks_of("off.bmp", seed=2**64 - 2, **{"in": [[300, 10]], "out": [[20, 20]]})))
    write_bmp(tmp_path / "unmarked.bmp", numpy.full((40, 50, 3), 90, numpy.uint8))
    photos = [tmp_path / "off.bmp", made_lesions[0][0], tmp_path / "unmarked.bmp"]
    for options, seeds in (((), [2**64 - 2, None, None]), (("--seed", "7"), [7, 7, 7])):
        given = {"seed": int(options[1])} if options else {}
        frame = skinmeters.batch(photos, kind="lesion", **given)
        assert frame["error"].notna().tolist() == [True, False, True]
        status, stderr, report = _lesion_batch(tmp_path, photos, *options)
        assert [image["seed"] for image in report["images"]] == \
            [None if s is pandas.NA else int(s) for s in frame["seed"]]
        assert [None if s is pandas.NA else int(s) for s in frame["seed"][[0, 2]]] == [seeds[0], seeds[2]]
        assert_lesion_rows_equal_the_cli(frame, photos, status, stderr, report)
    # lesion() says it too: the error carries the seed its run would have used.
    with pytest.raises(skinmeters.AnalysisError, match="lies outside") as error:
        skinmeters.lesion(tmp_path / "off.bmp", tmp_path / "off.marks.json")
    assert error.value.seed == 2**64 - 2
    with pytest.raises(skinmeters.AnalysisError, match="File not found") as error:
        skinmeters.lesion(tmp_path / "unmarked.bmp", tmp_path / "unmarked.marks.json", seed=3)
    assert error.value.seed == 3


def test_parameters_and_kinds_are_checked():
    with pytest.raises(TypeError, match="sidee"):
        skinmeters.batch(TEXTURE_PHOTOS, sidee=3)
    with pytest.raises(ValueError, match="kind"):
        skinmeters.batch(TEXTURE_PHOTOS, kind="colour")
    empty = skinmeters.batch([], seed=1)
    assert len(empty) == 0 and list(empty.columns) == ["photo", "seed", "error"]


def test_a_two_worker_dask_cluster_equals_the_cli_batch(tmp_path, made_photos):
    distributed = pytest.importorskip("distributed")
    photos = [p for p, _ in made_photos] + [*TEXTURE_PHOTOS, SAMPLES / "lesion_sample.jpg",
                                             TESTDATA / "reference" / "lesion.jpg", tmp_path / "missing.bmp"]
    assert len(photos) >= 21
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
            distributed.Client(cluster) as client:
        frame = skinmeters.batch(photos, seed=12, client=client)
        # Both worker processes took part.
        executed = client.run(lambda dask_worker: dask_worker.state.executed_count)
        assert len(executed) == 2 and all(count > 0 for count in executed.values())
    assert frame["error"].notna().sum() == 1
    assert_rows_equal_the_cli(frame, photos, *run_texturemeter_cli(tmp_path, photos, "--seed", "12"))


def lesion_row(measurements):
    return flatten({name: value for name, value in measurements.items() if name != "fits"})


def assert_lesion_rows_equal_the_cli(frame, photos, status, stderr, report):
    """Row i is image i of lesionmeter-cli's --json batch report: seed, error and measurements."""
    assert list(frame["photo"]) == [str(p) for p in photos]
    images = report["images"]
    assert len(images) == len(photos)
    failures = [line for line in stderr.splitlines() if line.startswith("lesionmeter-cli: ")]
    assert_provenance_equals_the_report(frame, report)
    for photo, row, image in zip(photos, frame.to_dict("records"), images):
        assert row["error"] == image.get("error"), photo
        if row["error"] is not None:
            assert f"lesionmeter-cli: {photo}: {row['error']}" in failures
        if "measurements" in image:
            assert row["seed"] == image["seed"]
            assert_fit_columns(row, image["measurements"]["fits"], skinmeters._rows.DIMENSION_FITS["lesion"])
            # Every name is a column (one the photograph did not measure, such as the centroid of an
            # "axis" without outline, is a gap); the fits stay with lesion().
            assert "fits" in image["measurements"]
            assert_identical(measurements_of(row), lesion_row(image["measurements"]), str(photo))
        else:
            assert all(math.isnan(v) for v in measurements_of(row).values())
    assert status == (1 if failures else 0)


@pytest.fixture
def lesion_failures(tmp_path):
    """A photograph without marks file, a missing one, and one whose outline is empty."""
    write_bmp(tmp_path / "unmarked.bmp", numpy.full((240, 320, 3), 90, numpy.uint8))
    write_bmp(tmp_path / "flat.bmp", numpy.full((240, 320, 3), 128, numpy.uint8))
    (tmp_path / "flat.marks.json").write_text(json.dumps(marks_of("flat.bmp", **{"in": [[10, 10]], "out": [[20, 20]]})))
    return [tmp_path / "unmarked.bmp", tmp_path / "missing.bmp", tmp_path / "flat.bmp"]


def test_a_lesion_batch_on_threads_equals_the_cli_batch(tmp_path, made_lesions, lesion_failures):
    photos = [made_lesions[0][0], lesion_failures[0], made_lesions[1][0], lesion_failures[1], lesion_failures[2],
              made_lesions[0][0]]
    frame = skinmeters.batch(photos, kind="lesion", seed=6, jobs=3)
    assert list(frame.columns[-2:]) == ["seed", "error"]
    assert frame["error"].notna().sum() == 3
    # With the batch's seed every photograph's run uses it: the same photograph gives the same row.
    pandas.testing.assert_series_equal(frame.iloc[0], frame.iloc[5], check_names=False)
    assert_lesion_rows_equal_the_cli(frame, photos, *_lesion_batch(tmp_path, photos, "--seed", "6"))


def _lesion_batch(tmp_path, photos, *options):
    status, _, stderr, report = run_lesionmeter_cli(tmp_path, "--csv", tmp_path / "lesions.csv", "--jobs", "2",
                                                    *options, *photos)
    return status, stderr, report


def test_a_lesion_batch_without_a_seed_uses_each_marks_seed(tmp_path, made_lesions):
    photos = [p for p, _ in made_lesions[:7]]
    frame = skinmeters.batch(photos, kind="lesion")
    assert list(frame["seed"][[0, 3, 6]]) == [100, 103, 106]
    status, stderr, report = _lesion_batch(tmp_path, photos)
    assert status == 0, stderr
    for i in (0, 3, 6):
        assert report["images"][i]["seed"] == frame["seed"][i]
        assert_identical(measurements_of(frame.iloc[i].to_dict()), lesion_row(report["images"][i]["measurements"]))
    # The others drew seeds of their own, reported in the row: each row repeats with its seed.
    again = skinmeters.batch([photos[1]], kind="lesion", seed=int(frame["seed"][1]))
    assert again.iloc[0].to_dict() == {**frame.iloc[1].to_dict(), "photo": str(photos[1])}
    # As in lesionmeter-cli's batch, those seeds come from one clock seed per batch: the photo seed
    # of each place, the first place's being the clock seed itself.
    unmarked = [photos[1], photos[2], photos[4]]
    frame = skinmeters.batch(unmarked, kind="lesion")
    status, stderr, report = _lesion_batch(tmp_path, unmarked)
    for seeds in ([int(s) for s in frame["seed"]], [image["seed"] for image in report["images"]]):
        assert seeds == [skinmeters.photo_seed(seeds[0], i) for i in range(3)] and seeds[0] < 2**53


def test_lesion_marks_from_a_list_of_dicts(made_lesions):
    photos = [p for p, _ in made_lesions[:3]]
    beside = skinmeters.batch(photos, kind="lesion", seed=2)
    given = skinmeters.batch(photos, kind="lesion", seed=2, marks=[marks_of(p.name) for p in photos])
    pandas.testing.assert_frame_equal(given, beside)
    with pytest.raises(ValueError, match="marks"):
        skinmeters.batch(photos, kind="lesion", marks=[marks_of("x")])
    with pytest.raises(TypeError, match="side"):
        skinmeters.batch(photos, kind="lesion", side=3)
    with pytest.raises(TypeError, match="marks"):
        skinmeters.batch(photos, marks=[marks_of("x")] * 3)


def test_a_two_worker_dask_cluster_equals_the_cli_lesion_batch(tmp_path, made_lesions, lesion_failures):
    distributed = pytest.importorskip("distributed")
    photos = [p for p, _ in made_lesions] + lesion_failures
    assert len(photos) >= 20
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
            distributed.Client(cluster) as client:
        frame = skinmeters.batch(photos, kind="lesion", seed=8, client=client)
        executed = client.run(lambda dask_worker: dask_worker.state.executed_count)
        assert len(executed) == 2 and all(count > 0 for count in executed.values())
    assert frame["error"].notna().sum() == 3
    assert_lesion_rows_equal_the_cli(frame, photos, *_lesion_batch(tmp_path, photos, "--seed", "8"))
