"""Shared fixtures: the built tools, the bundled photographs and photographs made for a test."""

import os
import pathlib
import struct
import subprocess

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
    """texturemeter-cli over the photographs; its exit status, stderr and the results file's lines."""
    output = tmp_path / "results.csv"
    done = subprocess.run(
        [TEXTUREMETER_CLI, *options, "--jobs", "2", "--output", str(output), *map(str, photos)],
        capture_output=True, text=True,
    )
    lines = output.read_bytes().decode().split("\r\n") if output.exists() else []
    return done.returncode, done.stderr, lines


# The names of the result row's columns 2..14 (column 11 is always empty) and of the sampling line.
_ROW_NAMES = ["monochrome.meanDimension", "monochrome.dimensionSd", "monochrome.sdToMean",
              "hessian.meanDimension", "hessian.dimensionSd", "hessian.sdToMean", "totalDimension",
              "lineShare", "dotShare", None, "outlineDimension", "tone.deviation", "tone.histogramSpread"]
_SAMPLING_NAMES = ["meanBrightness", "darkFrameShareR2", "darkFrameShareR4", "darkFrameShareR6",
                   "darkFrameShareR8", "darkFrameShareR10", "darkLineShare", "boxDarknessMean",
                   "boxDarknessSd", "ringBrightnessR5to11", "ringBrightnessR23to29", "ringBrightnessR41to47"]


def cli_measurements(lines):
    """Per image of a results file: its name and measurements, by name, as printed."""
    images = []
    body = [line for line in lines[1:] if line]
    for row, sampling in zip(body[0::2], body[1::2]):
        cells = row.split(",")
        values = {"name": cells[0]}
        for name, text in zip(_ROW_NAMES, cells[1:]):
            if name:
                values[name] = text.strip()
        for name, text in zip(_SAMPLING_NAMES, sampling.split(",")):
            values["sampling." + name] = text.strip()
        images.append(values)
    return images


def assert_equal_measurements(measured, printed):
    """The measurements equal the printed ones to the digits printed (15 for doubles, 7 for singles)."""
    assert set(measured) == set(printed) - {"name"}
    for name, value in measured.items():
        assert float(printed[name]) == pytest.approx(value, rel=6e-7 if _single(printed[name]) else 6e-15), name


def _single(text):
    digits = text.lstrip("-").split("E")[0].replace(".", "").lstrip("0")
    return len(digits) <= 7
