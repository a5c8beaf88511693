"""Shared fixtures: the built tools, the bundled photographs and photographs made for a test."""

import json
import math
import os
import pathlib
import re
import struct
import subprocess
import sys
import threading

import numpy
import pytest

SAMPLES = pathlib.Path(os.environ["MORPH_SAMPLES_DIR"])
TESTDATA = pathlib.Path(os.environ["MORPH_TESTDATA_DIR"])
TEXTUREMETER_CLI = os.environ["SKINMETERS_TEXTUREMETER_CLI"]
LESIONMETER_CLI = os.environ["SKINMETERS_LESIONMETER_CLI"]

# The bundled photographs the texture analysis is compared on.
TEXTURE_PHOTOS = [SAMPLES / "skin_sample.jpg", TESTDATA / "reference" / "skin_texture.jpg"]


def write_bmp(path, rgb):
    """An uncompressed 24-bit BMP of a (height, width, 3) RGB array, written here, not by the engine."""
    height, width, _ = rgb.shape
    row_size = (3 * width + 3) // 4 * 4
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows, BGR order
        row = rgb[y, :, ::-1].tobytes()
        pixels += row + b"\0" * (row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    pathlib.Path(path).write_bytes(header + info + pixels)


def textured_photo(seed, height=260, width=300):
    """A skin-like photograph: a smooth tone field, pores and noise, different for every seed."""
    rng = numpy.random.default_rng(seed)
    y, x = numpy.mgrid[0:height, 0:width]
    base = 150 + 30 * numpy.sin(x / (7 + seed % 5)) * numpy.cos(y / (9 + seed % 3))
    base += rng.normal(0, 12, size=(height, width))
    for _ in range(40):
        cx, cy = rng.integers(0, width), rng.integers(0, height)
        base -= 60 * numpy.exp(-((x - cx) ** 2 + (y - cy) ** 2) / 18.0)
    rgb = numpy.stack([base + 40, base, base - 30], axis=-1)
    return numpy.clip(numpy.rint(rgb), 0, 255).astype(numpy.uint8)


@pytest.fixture(scope="session")
def made_photos(tmp_path_factory):
    """Sixteen different photographs as BMP files, with their pixels."""
    folder = tmp_path_factory.mktemp("photos")
    photos = []
    for i in range(16):
        rgb = textured_photo(i)
        path = folder / f"made{i:02d}.bmp"
        write_bmp(path, rgb)
        photos.append((path, rgb))
    return photos


def run_texturemeter_cli(tmp_path, photos, *options):
    """texturemeter-cli --json over the photographs: its exit status, stderr and the JSON report."""
    output, report = tmp_path / "results.csv", tmp_path / "results.json"
    report.unlink(missing_ok=True)
    done = subprocess.run(
        [TEXTUREMETER_CLI, *options, "--jobs", "2", "--output", str(output), "--json", str(report),
         *map(str, photos)],
        capture_output=True, text=True,
    )
    return done.returncode, done.stderr, json.loads(report.read_text()) if report.exists() else None


def as_arguments(message):
    """A texturemeter-cli message with each option named as texture()'s argument: "--side 500" -> "side=500",
    "--window must" -> "window must"."""
    return re.sub(r"--(\w+)", r"\1", re.sub(r"--(\w+) (-?[0-9])", r"\1=\2", message))


def flatten(measurements, prefix=""):
    """A measurements dict as batch columns name them: nested names joined by "."
    ({"hessian": {"meanDimension": v}} -> "hessian.meanDimension"), a list's items as NAME.1, NAME.2."""
    row = {}
    for name, value in measurements.items():
        if isinstance(value, dict):
            row.update(flatten(value, f"{prefix}{name}."))
        elif isinstance(value, list):
            for i, item in enumerate(value, 1):
                row[f"{prefix}{name}.{i}"] = item
        else:
            row[f"{prefix}{name}"] = value
    return row


def assert_identical(measured, reported, where="measurements"):
    """The same names, nested the same way, and every number the same double, bit for bit."""
    assert isinstance(measured, dict) and isinstance(reported, dict), where
    assert sorted(measured) == sorted(reported), where
    for name, value in reported.items():
        mine = measured[name]
        if isinstance(value, dict):
            assert_identical(mine, value, f"{where}.{name}")
        elif isinstance(value, float):
            assert isinstance(mine, float) and struct.pack("<d", mine) == struct.pack("<d", value), \
                (f"{where}.{name}", mine, value)
        elif value is None:
            assert mine is None or (isinstance(mine, float) and math.isnan(mine)), (f"{where}.{name}", mine)
        else:
            # Whole numbers may come back as floats from a DataFrame column that also holds a gap.
            assert mine == value and isinstance(mine, bool) == isinstance(value, bool), (f"{where}.{name}", mine, value)


# The marks of the bundled lesion photographs (clicked on the lesion and on the skin around it).
LESION_MARKS = {
    "in": [[160, 120], [140, 105], [180, 130], [150, 145], [175, 100], [135, 125]],
    "out": [[245, 120], [220, 180], [160, 205], [100, 180], [75, 120], [100, 60], [160, 35], [220, 60]],
    "centre": [160, 120],
}
LESION_PHOTOS = [TESTDATA / "reference" / "lesion.jpg", SAMPLES / "lesion_sample.jpg"]


def marks_of(photo_name, seed=None, scale=1.0, **positions):
    """A marks document for the photograph, with the bundled photographs' positions unless given."""
    return {"format": "lesionmeter-marks", "version": 1, "photo": photo_name, **LESION_MARKS, **positions,
            "seed": seed, "scale": scale}


def lesion_photo(seed, height=240, width=320):
    """A brown, irregular lesion on skin tone around (160, 120), different for every seed."""
    rng = numpy.random.default_rng(1000 + seed)
    y, x = numpy.mgrid[0:height, 0:width]
    angle = numpy.arctan2(y - 120, x - 160)
    radius = 55 + 8 * numpy.sin(3 * angle + seed) + 5 * numpy.cos((5 + seed % 3) * angle)
    inside = numpy.hypot(x - 160, y - 120) < radius
    skin = numpy.array([219, 169, 149], float)
    brown = numpy.array([122, 72, 52], float) + rng.normal(0, 6, size=3)
    rgb = numpy.where(inside[..., None], brown, skin) + rng.normal(0, 5, size=(height, width, 3))
    return numpy.clip(numpy.rint(rgb), 0, 255).astype(numpy.uint8)


@pytest.fixture(scope="session")
def made_lesions(tmp_path_factory):
    """Twenty lesion photographs as BMP files, each with its marks file beside it (NAME.marks.json)."""
    folder = tmp_path_factory.mktemp("lesions")
    photos = []
    for i in range(20):
        rgb = lesion_photo(i)
        path = folder / f"lesion{i:02d}.bmp"
        write_bmp(path, rgb)
        # Every third photograph carries the seed of an earlier run in its marks.
        marks = marks_of(path.name, seed=100 + i if i % 3 == 0 else None)
        (folder / f"lesion{i:02d}.marks.json").write_text(json.dumps(marks))
        photos.append((path, rgb))
    return photos


def run_lesionmeter_cli(tmp_path, *arguments):
    """lesionmeter-cli with --json: its exit status, stdout, stderr and the JSON report."""
    report = tmp_path / "lesion-report.json"
    report.unlink(missing_ok=True)
    done = subprocess.run([LESIONMETER_CLI, *map(str, arguments), "--json", str(report)],
                          capture_output=True, text=True)
    return done.returncode, done.stdout, done.stderr, json.loads(report.read_text()) if report.exists() else None


def other_threads_run_inside(function, calls):
    """Whether this thread runs Python code while a worker thread is inside the extension's
    `function` (a built-in of _skinmeters), which `calls()` calls on that worker. With the
    interpreter's lock held for the whole analysis, this thread would only get to run after the
    call had returned and the flag had been cleared."""
    inside = threading.Event()
    finished = threading.Event()

    def watch(frame, event, arg):
        if arg is function:
            if event == "c_call":
                inside.set()
            elif event in ("c_return", "c_exception"):
                inside.clear()

    def analyse():
        sys.setprofile(watch)
        try:
            calls()
        finally:
            sys.setprofile(None)
            finished.set()

    worker = threading.Thread(target=analyse)
    worker.start()
    ran_during_analysis = False
    while not finished.is_set() and not ran_during_analysis:
        ran_during_analysis = inside.wait(0.01) and inside.is_set()
    worker.join()
    return ran_during_analysis
