"""heightSd and meanDimensionCi95 against values worked out here from the photograph's pixels.

Everything below follows the measurement rules from the pixels on (grey levels, the monochrome and
Hessian images, their height fields, the surface area of every tile), with numpy and without any
intermediate result of the engine, on photographs of the same texture at three contrasts.
"""

import json
import subprocess

import numpy
import pytest

import skinmeters
from conftest import TEXTUREMETER_CLI, write_bmp

SIDE = 200
WINDOW = 40
# Two-sided 95 % quantile of Student's t with 24 degrees of freedom (25 tiles), from the tables.
T_24 = 2.0638985616280205


def contrast_photo(contrast, seed=5, height=240, width=260):
    """One texture (smooth relief, pores, fine noise) at `contrast` times its full grey amplitude."""
    rng = numpy.random.default_rng(seed)
    y, x = numpy.mgrid[0:height, 0:width]
    field = 30 * numpy.sin(x / 6.0) * numpy.cos(y / 11.0) + rng.normal(0, 14, size=(height, width))
    for _ in range(50):
        cx, cy = rng.integers(0, width), rng.integers(0, height)
        field -= 70 * numpy.exp(-((x - cx) ** 2 + (y - cy) ** 2) / 15.0)
    field = 140 + contrast * field
    rgb = numpy.stack([field + 30, field, field - 20], axis=-1)
    return numpy.clip(numpy.rint(rgb), 0, 255).astype(numpy.uint8)


def grey_of(rgb):
    """0.11 x blue + 0.59 x green + 0.3 x red, in double precision."""
    rgb = rgb.astype(numpy.float64)
    return 0.11 * rgb[..., 2] + 0.59 * rgb[..., 1] + 0.3 * rgb[..., 0]


def height_of_grey(grey):
    """The height a grey picture's pixel of level `grey` has (single precision)."""
    g = numpy.asarray(grey, dtype=numpy.float64)
    return numpy.float32((0.11 * g + 0.59 * g + 0.3 * g) / 255 * SIDE)


def height_field(picture_greys):
    """Cells 0..side + 1: the grey picture (side + 1 pixels a side) and white beyond it."""
    n = SIDE + 2
    field = numpy.full((n, n), height_of_grey(255), dtype=numpy.float32)
    field[: SIDE + 1, : SIDE + 1] = height_of_grey(picture_greys)
    return field


def square_heights(rgb):
    """The photograph's square as single-precision heights, [y, x]."""
    return numpy.float32(grey_of(rgb[: SIDE + 1, : SIDE + 1]) / 255 * SIDE)


def monochrome_greys(rgb):
    heights = square_heights(rgb).astype(numpy.float64)
    return numpy.rint(heights / SIDE * 255)


def hessian_greys(rgb, d=3):
    h = square_heights(rgb).astype(numpy.float64)
    greys = numpy.full((SIDE + 1, SIDE + 1), 255.0)
    inner = slice(d + 1, SIDE - d + 1)
    centre = h[inner, inner]
    fxx = numpy.float32(h[inner, d + 1 + d : SIDE + 1 + d] - 2 * centre + h[inner, 1 : SIDE - 2 * d + 1])
    fyy = numpy.float32(h[d + 1 + d : SIDE + 1 + d, inner] - 2 * centre + h[1 : SIDE - 2 * d + 1, inner])
    fxx, fyy = fxx.astype(numpy.float64), fyy.astype(numpy.float64)
    m = numpy.sqrt(fxx * fxx + fyy * fyy)
    q = (fxx - fyy) ** 2 + 4 * m * m
    t = fxx + fyy
    t[t == 0] = 0.0001
    a = numpy.arctan(numpy.sqrt(q) / t)
    greys[inner, inner] = numpy.rint(50 * (a + 1.7) + 70)
    return greys


def tile_dimensions(field):
    """Surface-area dimension of every 40 x 40 tile (lower corner every 40 cells), single precision."""
    h = field.astype(numpy.float64)  # [y, x]
    sizes = [1, 2, 4, 5, 10, 20]
    dims = []
    for X in range(0, SIDE, WINDOW):
        for Y in range(0, SIDE, WINDOW):
            areas = []
            for s in sizes:
                xs = numpy.arange(X, X + WINDOW - s + 1, s)
                ys = numpy.arange(Y, Y + WINDOW - s + 1, s)
                yy, xx = numpy.meshgrid(ys, xs, indexing="ij")
                h1, h2 = h[yy, xx], h[yy, xx + s]
                h3, h4 = h[yy + s, xx], h[yy + s, xx + s]
                a2 = s * s + (h3 - h1) ** 2
                b2 = s * s + (h2 - h1) ** 2
                c2 = 2 * s * s + (h2 - h3) ** 2
                d2 = s * s + (h4 - h3) ** 2
                e2 = s * s + (h4 - h2) ** 2
                t1 = numpy.sqrt(4 * c2 * b2 - (b2 - a2 + c2) ** 2) / 4
                t2 = numpy.sqrt(4 * c2 * e2 - (e2 - d2 + c2) ** 2) / 4
                areas.append(float(numpy.float32((t1 + t2).sum())))
            slope = numpy.polyfit(numpy.log(sizes), numpy.log(areas), 1)[0]
            dims.append(float(numpy.float32(2 - slope)))
    return numpy.array(dims)


def expected(rgb, greys):
    field = height_field(greys)
    dims = tile_dimensions(field)
    mean = dims.mean()
    half = T_24 * dims.std(ddof=1) / numpy.sqrt(len(dims))
    return float(field.astype(numpy.float64).std()), [mean - half, mean + half]


@pytest.fixture(scope="module")
def photos():
    return {c: contrast_photo(c) for c in (1.0, 0.5, 0.25)}


@pytest.mark.parametrize("contrast", [1.0, 0.5, 0.25])
@pytest.mark.parametrize("image", ["monochrome", "hessian"])
def test_height_sd_and_mean_interval_follow_from_the_pixels(photos, contrast, image):
    rgb = photos[contrast]
    result = skinmeters.texture(rgb, seed=1)[image]
    greys = monochrome_greys(rgb) if image == "monochrome" else hessian_greys(rgb)
    height_sd, interval = expected(rgb, greys)
    assert result["heightSd"] == pytest.approx(height_sd, rel=1e-6)
    assert result["meanDimensionCi95"] == pytest.approx(interval, abs=2e-6)
    # The interval is about the reported tile mean.
    low, high = result["meanDimensionCi95"]
    assert low < result["meanDimension"] < high
    assert (low + high) / 2 == pytest.approx(result["meanDimension"], abs=1e-6)


def test_the_grey_amplitude_is_what_height_sd_reports(photos):
    sds = [skinmeters.texture(photos[c], seed=1)["monochrome"]["heightSd"] for c in (1.0, 0.5, 0.25)]
    # Less contrast, less amplitude; not in proportion, since the white border row and column
    # (height = side) keep their distance from the darker square.
    assert sds[0] > sds[1] > sds[2] > 0
    assert 0.5 < sds[1] / sds[0] < 1


def test_a_flat_photograph_has_no_spread_but_its_white_border(photos):
    rgb = numpy.full((SIDE + 1, SIDE + 1, 3), 90, dtype=numpy.uint8)
    result = skinmeters.texture(rgb, seed=1)["monochrome"]
    # Heights 90/255 x 200 everywhere but the 403 border cells, which are white (200).
    inside, border, n = 90 / 255 * SIDE, float(SIDE), (SIDE + 2) ** 2
    k = 2 * (SIDE + 2) - 1
    mean = ((n - k) * inside + k * border) / n
    sd = numpy.sqrt(((n - k) * (inside - mean) ** 2 + k * (border - mean) ** 2) / n)
    assert result["heightSd"] == pytest.approx(sd, rel=1e-6)
    # Every tile is flat apart from the border: the last row and column of tiles reach it.
    assert result["meanDimensionCi95"][0] <= result["meanDimension"] <= result["meanDimensionCi95"][1]


def test_the_command_line_report_carries_the_same_values(photos, tmp_path):
    rgb = photos[0.5]
    photo = tmp_path / "half.bmp"
    write_bmp(photo, rgb)
    report = tmp_path / "report.json"
    subprocess.run([TEXTUREMETER_CLI, "--seed", "1", "--output", str(tmp_path / "r.csv"), "--json", str(report),
                    str(photo)], check=True, capture_output=True)
    measured = json.loads(report.read_text())["images"][0]["measurements"]
    python = skinmeters.texture(rgb, seed=1)
    for image in ("monochrome", "hessian"):
        assert measured[image]["heightSd"] == python[image]["heightSd"]
        assert measured[image]["meanDimensionCi95"] == python[image]["meanDimensionCi95"]
    # The results file keeps its columns: no new value appears in it.
    row = (tmp_path / "r.csv").read_bytes().split(b"\r\n")[1].split(b",")
    assert len(row) == 14
