"""The README's "From Python" example runs as printed: on one machine, and pointed at a Dask cluster."""

import json
import logging
import os
import pathlib
import re
import shutil
import subprocess

import pandas
import pytest

from conftest import (LESION_PHOTOS, SAMPLES, TESTDATA, TEXTUREMETER_CLI, assert_identical, flatten, marks_of,
                      run_lesionmeter_cli, run_texturemeter_cli)
from test_batch import assert_lesion_rows_equal_the_cli, assert_rows_equal_the_cli

README = pathlib.Path(os.environ["SKINMETERS_SOURCE_DIR"]) / "README.md"
SCHEDULER = "tcp://scheduler.example.org:8786"


def readme_examples(title="From Python", language="python"):
    """The ```python (or other `language`) blocks of the README's section `title`, in order."""
    text = README.read_text(encoding="utf-8")
    section = text[text.index(f"\n## {title}\n"):]
    section = section[:section.index("\n## ", 1)]
    return re.findall(rf"^```{language}\n(.*?)^```$", section, flags=re.DOTALL | re.MULTILINE)


@pytest.fixture
def notebook_folder(tmp_path, monkeypatch):
    """A working folder laid out as the example expects: samples/ and photos/*.jpg, one of them broken."""
    (tmp_path / "samples").mkdir()
    shutil.copyfile(SAMPLES / "skin_sample.jpg", tmp_path / "samples" / "skin_sample.jpg")
    photos = tmp_path / "photos"
    photos.mkdir()
    for source, name in [(SAMPLES / "skin_sample.jpg", "a_skin.jpg"), (SAMPLES / "lesion_sample.jpg", "b_lesion.jpg"),
                         (TESTDATA / "reference" / "skin_texture.jpg", "c_texture.jpg"),
                         (TESTDATA / "reference" / "lesion.jpg", "e_lesion.jpg")]:
        shutil.copyfile(source, photos / name)
    (photos / "d_unreadable.jpg").write_bytes(b"not a photograph\n")
    lesions = tmp_path / "lesions"
    lesions.mkdir()
    for photo in LESION_PHOTOS:
        shutil.copyfile(photo, lesions / photo.name)
        (lesions / (photo.stem + ".marks.json")).write_text(json.dumps(marks_of(photo.name)))
    monkeypatch.chdir(tmp_path)
    return tmp_path


def test_the_readme_example_runs_and_its_rows_equal_the_cli_batch(notebook_folder):
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")  # no display: the plot is drawn off screen
    import matplotlib.pyplot

    examples = readme_examples()
    assert len(examples) == 2 and SCHEDULER in examples[1]
    notebook = {}
    exec(compile(examples[0], "README.md (From Python)", "exec"), notebook)

    df, ax = notebook["df"], notebook["ax"]
    photos = [f"photos/{name}" for name in ("a_skin.jpg", "b_lesion.jpg", "c_texture.jpg", "d_unreadable.jpg",
                                            "e_lesion.jpg")]
    assert notebook["photos"] == photos
    assert notebook["one"]["seed"] == 1
    assert list(df[df.error.notna()]["photo"]) == ["photos/d_unreadable.jpg"]
    assert_rows_equal_the_cli(df, photos, *run_texturemeter_cli(notebook_folder, photos, "--seed", "1",
                                                                "--side", "200"))
    # One bar per photograph (the unreadable one has none to show), labelled by photograph.
    heights = [bar.get_height() for bar in ax.patches]
    assert len(heights) == len(photos)
    assert heights[:3] == list(df["monochrome.meanDimension"][:3]) and heights[4] == df["monochrome.meanDimension"][4]
    assert [label.get_text() for label in ax.get_xticklabels()] == photos
    assert ax.get_ylabel() == "surface dimension of the grey image"
    assert (notebook_folder / "dimensions.png").read_bytes().startswith(b"\x89PNG")
    if os.environ.get("SKINMETERS_KEEP_PLOT"):
        shutil.copyfile(notebook_folder / "dimensions.png", os.environ["SKINMETERS_KEEP_PLOT"])
    matplotlib.pyplot.close("all")

    lesions = sorted(f"lesions/{photo.name}" for photo in LESION_PHOTOS)
    assert list(notebook["lesions"]["photo"]) == lesions and notebook["lesions"]["error"].isna().all()
    status, _, stderr, report = run_lesionmeter_cli(notebook_folder, "--csv", "lesions.csv", "--seed", "1", *lesions)
    assert_lesion_rows_equal_the_cli(notebook["lesions"], lesions, status, stderr, report)

    # The same code pointed at a Dask cluster (here a local one standing in for the scheduler address).
    distributed = pytest.importorskip("distributed")
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None, silence_logs=logging.ERROR) as cluster:
        cluster_example = examples[1].replace(SCHEDULER, cluster.scheduler_address)
        exec(compile(cluster_example, "README.md (From Python, Dask)", "exec"), notebook)
        notebook["client"].close()
    pandas.testing.assert_frame_equal(notebook["df"], df)


def test_the_readme_study_measures_each_saved_square_as_the_cli_does(tmp_path, monkeypatch):
    """A folder of photographs with the square files the window's "Save square" writes: the study's
    rows are, photograph by photograph, texturemeter-cli's numbers for the square and its seed; the
    study's --squares batch writes each photograph's entry byte for byte as its run alone, and its
    JSON report and the same batch from Python hold each square and the same numbers."""
    photos = tmp_path / "photos"
    photos.mkdir()
    squares = {}
    for i, (source, x, y, side, window, neighbour, variant, seed) in enumerate([
            (SAMPLES / "skin_sample.jpg", 120, 90, 200, 40, 4, "A", 4021795335164311),
            (TESTDATA / "reference" / "skin_texture.jpg", 37, 41, 180, 30, 3, "B", 18446744073709551615),
            (TESTDATA / "reference" / "skin_texture.jpg", 5, 60, 150, 30.5, 2.5, "C", 7)]):
        name = f"P{i + 1:04d}"
        shutil.copyfile(source, photos / f"{name}.jpg")
        squares[f"photos/{name}.jpg"] = (x, y, side, window, neighbour, variant, seed)
        (photos / f"{name}.square.json").write_text(json.dumps(
            {"format": "texturemeter-square", "version": 1, "photo": f"{name}.jpg", "x": x, "y": y, "side": side,
             "window": window, "neighbour": neighbour, "variant": variant, "seed": seed}))
    monkeypatch.chdir(tmp_path)
    examples = readme_examples("A texture study")
    assert len(examples) == 2
    # The study's batch: the shell commands as printed, with the built tool.
    commands = readme_examples("A texture study", "sh")
    assert len(commands) == 1 and commands[0].startswith("texturemeter-cli --squares ")
    for command in commands[0].splitlines():
        done = subprocess.run(command.replace("texturemeter-cli", TEXTUREMETER_CLI, 1), shell=True, cwd=tmp_path,
                              capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
    batch_lines = (tmp_path / "study.csv").read_bytes().split(b"\r\n")
    notebook = {}
    exec(compile(examples[0], "README.md (A texture study)", "exec"), notebook)
    study = notebook["study"]
    assert list(study["photo"]) == sorted(squares)
    for place, photo in enumerate(sorted(squares)):
        x, y, side, window, neighbour, variant, seed = squares[photo]
        outputs = tmp_path / f"cli{place}"
        outputs.mkdir()
        status, stderr, report = run_texturemeter_cli(
            outputs, [tmp_path / photo], "--seed", str(seed), "--x", str(x), "--y", str(y), "--side", str(side),
            "--window", str(window), "--neighbour", str(neighbour), "--variant", variant)
        assert status == 0, stderr
        row = notebook["rows"][place]
        assert row["seed"] == seed
        assert_identical({k: v for k, v in row.items() if k not in ("photo", "seed", "exifOrientation", "warning")},
                         report["images"][0]["measurements"], photo)
        # The batch's entry for the photograph is byte for byte its run alone with the square's numbers.
        alone_lines = (outputs / "results.csv").read_bytes().split(b"\r\n")
        assert batch_lines[0] == alone_lines[0]
        assert batch_lines[1 + 2 * place:3 + 2 * place] == alone_lines[1:3], photo

    # The batch's JSON report and the same batch from Python: each photograph's square and numbers.
    exec(compile(examples[1], "README.md (A texture study, the batch)", "exec"), notebook)
    report = json.loads((tmp_path / "study.json").read_text())
    measured, again = notebook["measured"], notebook["again"]
    assert list(measured["name"]) == [pathlib.Path(p).name for p in sorted(squares)]
    assert set(measured["squareSource"]) == set(again["squareSource"]) == {"square file"}
    for place, photo in enumerate(sorted(squares)):
        x, y, side, window, neighbour, variant, seed = squares[photo]
        image = report["images"][place]
        assert image["square"] == {"x": x, "y": y, "side": side, "window": window, "neighbour": neighbour,
                                   "variant": variant}
        assert image["seed"] == seed and image["seedSource"] == "square"
        assert measured["square.side"][place] == side and int(again["seed"][place]) == seed
        row = again.iloc[place].to_dict()
        assert (row["x"], row["y"], row["side"], row["window"], row["neighbour"], row["variant"]) == \
            (x, y, side, window, neighbour, variant)
        numbers = {k: v for k, v in image["measurements"].items() if k != "fits"}
        flat = flatten(numbers)
        assert_identical({name: row[name] for name in flat}, flat, photo)
