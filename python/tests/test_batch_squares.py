"""skinmeters.batch(..., squares=): each photograph in its own square, row for row what
texturemeter-cli --squares writes for the same photographs, squares and seed."""

import json
import math
import shutil

import pandas
import pytest

import skinmeters
from conftest import assert_identical, flatten, run_texturemeter_cli

SQUARE_COLUMNS = ["x", "y", "side", "window", "neighbour", "variant", "squareSource", "squareFile", "seedSource"]


def square_of(i, photo):
    """Photograph i's square: corners, sides, tile sides, neighbour distances, variants and seeds
    all differ; every fourth leaves its seed out, every fifth its side and window."""
    square = {"format": "texturemeter-square", "version": 1, "photo": photo, "x": 3 + 11 * i % 60,
              "y": 5 + 7 * i % 40, "side": 130 + 9 * i % 80, "window": [20, 25, 30, 40, 22.5][i % 5],
              "neighbour": 2 + i % 4, "variant": "ABC"[i % 3], "seed": None if i % 4 == 3 else 500 + 31 * i}
    if i % 5 == 4:
        square["side"] = square["window"] = None
    return square


@pytest.fixture
def study(tmp_path, made_photos):
    """Ten photographs copied into a folder of their own, each but the last with its square file."""
    photos = []
    for i, (made, _) in enumerate(made_photos[:10]):
        photo = tmp_path / f"s{i:02d}.bmp"
        shutil.copyfile(made, photo)
        if i < 9:
            (tmp_path / f"s{i:02d}.square.json").write_text(json.dumps(square_of(i, photo.name)))
        photos.append(photo)
    return photos


def assert_rows_equal_the_cli(frame, report, square_file):
    """Row i is image i of the CLI's --json report: the square, its sources and seed, and the error
    or the measurements bit for bit."""
    images = report["images"]
    assert len(frame) == len(images)
    assert frame.attrs["parameters"]["squares"] == report["parameters"]["squares"]
    for row, image in zip(frame.to_dict("records"), images):
        where = image["name"]
        assert row["seed"] == image["seed"], where
        assert row["seedSource"] == image["seedSource"], where
        assert row["squareSource"] == image["squareSource"], where
        assert row["squareFile"] == square_file(image), where
        for name in SQUARE_COLUMNS[:6]:
            value = row[name]
            expected = None if image["square"] is None else image["square"][name]
            assert pandas.isna(value) if expected is None else value == expected, (where, name)
        if "error" in image:
            # The same message, the options named as the arguments.
            assert row["error"] == image["error"].replace("--squares without --x/--y", "squares= without x= or y="), where
            continue
        assert row["error"] is None, where
        numbers = {name: value for name, value in image["measurements"].items() if name != "fits"}
        measured = {name: row[name] for name in flatten(numbers)}
        assert_identical(measured, flatten(numbers), where)


def test_square_files_beside_give_the_cli_rows(tmp_path, study, monkeypatch):
    monkeypatch.chdir(tmp_path)
    names = [p.name for p in study]
    frame = skinmeters.batch(names, seed=5, squares="beside", jobs=2)
    assert list(frame.columns[4:4 + len(SQUARE_COLUMNS)]) == SQUARE_COLUMNS
    assert str(frame["x"].dtype) == "Int64"
    status, stderr, report = run_texturemeter_cli(tmp_path, names, "--seed", "5", "--squares")
    assert status == 1, stderr
    assert_rows_equal_the_cli(frame, report, lambda image: image["squareFile"])
    # The photograph without a square is its row's error; the squares' seeds are the rows' seeds.
    assert frame["error"][9].startswith("no square: no square file s09.square.json beside it (squares= without x= or y=")
    assert frame["squareSource"][9] is None
    assert [int(s) for s in frame["seed"][:4]] == [500, 531, 562, skinmeters.photo_seed(5, 3)]
    assert list(frame["seedSource"][:4]) == ["square", "square", "square", "batch"]
    # A square's seed repeats its photograph alone with texture().
    alone = skinmeters.texture(study[1], square=str(study[1].with_suffix(".square.json")))
    assert alone["totalDimension"] == frame["totalDimension"][1]
    assert alone["sampling"]["ringBrightnessR41to47"] == frame["sampling.ringBrightnessR41to47"][1]

    # With a corner given, the photograph without a square takes the arguments' square.
    corner = skinmeters.batch(names, seed=5, squares="beside", x=10, side=150, jobs=2)
    status, stderr, report = run_texturemeter_cli(tmp_path, names, "--seed", "5", "--squares", "--x", "10",
                                                  "--side", "150")
    assert status == 0, stderr
    assert_rows_equal_the_cli(corner, report, lambda image: image["squareFile"])
    assert corner["squareSource"][9] == "command line" and corner["x"][9] == 10 and corner["side"][9] == 150
    # The fifth square leaves out its side and window: the arguments fill them in.
    assert corner["side"][4] == 150 and corner["window"][4] == 40.0
    assert corner["side"][3] == square_of(3, "s03.bmp")["side"]


def test_a_table_file_and_a_dataframe_give_the_rows_of_the_square_files(tmp_path, study, monkeypatch):
    monkeypatch.chdir(tmp_path)
    names = [p.name for p in study]
    squares = [square_of(i, name) for i, name in enumerate(names[:9])]
    table = pandas.DataFrame({column: [s[column] for s in squares]
                              for column in ("photo", "x", "y", "side", "window", "neighbour", "variant", "seed")})
    table["seed"] = table["seed"].astype("UInt64")
    table.to_csv(tmp_path / "squares.csv", index=False)
    beside = skinmeters.batch(names, seed=8, squares="beside", jobs=2)
    from_file = skinmeters.batch(names, seed=8, squares="squares.csv", jobs=2)
    # A DataFrame as pandas reads a table: missing seeds and sides make float columns.
    from_frame = skinmeters.batch(names, seed=8, squares=pandas.read_csv(tmp_path / "squares.csv"), jobs=2)
    status, stderr, report = run_texturemeter_cli(tmp_path, names, "--seed", "8", "--squares", "squares.csv")
    assert status == 1, stderr
    assert_rows_equal_the_cli(from_file, report, lambda image: image["squareFile"])
    assert from_file.attrs["parameters"]["squares"] == "squares.csv"
    assert from_frame.attrs["parameters"]["squares"] == "DataFrame"
    assert set(from_frame["squareFile"][:9]) == {"(squares DataFrame)"}
    assert set(from_file["squareSource"][:9]) == {"table"}
    measured = [c for c in beside.columns if c not in SQUARE_COLUMNS and c not in ("error",)]
    for other in (from_file, from_frame):
        pandas.testing.assert_frame_equal(other[measured], beside[measured])
        pandas.testing.assert_frame_equal(other[SQUARE_COLUMNS[:6]], beside[SQUARE_COLUMNS[:6]])
    assert from_file["error"][9].startswith("no square: no row for it in the square table squares.csv")
    assert from_frame["error"][9].startswith("no square: no row for it in the square table (squares DataFrame)")


def test_what_squares_refuses(tmp_path, study, monkeypatch):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "bad.csv").write_text("photo,x\ns00.bmp,1\n")
    with pytest.raises(skinmeters.AnalysisError, match=r'^Square table bad.csv: no column "y" in the header$'):
        skinmeters.batch(["s00.bmp"], squares="bad.csv")
    with pytest.raises(TypeError, match="squares belong to kind=\"texture\""):
        skinmeters.batch(["s00.bmp"], kind="lesion", squares="beside")
    with pytest.raises(TypeError, match="squares must be"):
        skinmeters.batch(["s00.bmp"], squares=3)
    # A square that cannot be run, or of another photograph, is that row's error.
    too_large = {**square_of(0, "s00.bmp"), "side": 500}
    (tmp_path / "s00.square.json").write_text(json.dumps(too_large))
    (tmp_path / "s01.square.json").write_text(json.dumps(square_of(1, "s02.bmp")))
    frame = skinmeters.batch(["s00.bmp", "s01.bmp", "s02.bmp", 3], squares="beside", seed=1)
    assert frame["error"][0] == ("Subscript out of range (side=500 with window=20: side must be at most 499) "
                                 "(in the square of s00.square.json)")
    assert frame["error"][1] == "s01.square.json holds the square of s02.bmp, not of s01.bmp"
    assert frame["error"][2] is None and frame["squareSource"][2] == "square file"
    assert frame["error"][3].startswith("expected str, bytes or os.PathLike")
    assert math.isnan(frame["totalDimension"][0]) and not math.isnan(frame["totalDimension"][2])
