"""Pictures of known fractal dimension, made from fixed seeds.

- Fractional Brownian surfaces by exact circulant embedding (Stein 2002): a stationary field whose
  covariance is c0 - r^a + c2 r^2 (a = 2H) within distance 1 is embedded in a periodic grid over
  [0, 2]^2, simulated with one FFT, and turned into fractional Brownian motion by adding the random
  plane sqrt(2 c2) (x Z1 + y Z2). Only a patch whose points all lie within distance 1 of each other
  is kept, so its increments have exactly the variogram r^a. True dimension 3 - H.
- Koch snowflakes (ln 4 / ln 3), the quadratic Koch island (1.5), circles and squares (1) as
  polygons, filled by their pixel centres, and their ideal edge: the pixels the polygon's sides
  pass through.

Nothing here depends on the programs being checked. PNG files are written by this module (zlib,
no other library), so the same pixels always give the same bytes.
"""

import math
import struct
import zlib

import numpy
from matplotlib.path import Path

# ---- fractional Brownian surfaces ----------------------------------------------------------------

# Grid spacing (in units of the covariance's range 1): a 401-point patch spans 400 x 2 / 1152 =
# 0.694 < 1 / sqrt(2), so all its points lie within distance 1 of each other.
_SPACING = 2.0 / 1152


def _covariance(r, alpha, reach=2.0):
    """Stein's embedded covariance for a = 2H at distances r, and its c2."""
    if alpha <= 1.5:
        beta, c2, c0 = 0.0, alpha / 2, 1 - alpha / 2
    else:  # keeps the function twice differentiable at r = 1
        beta = alpha * (2 - alpha) / (3 * reach * (reach * reach - 1))
        c2 = (alpha - beta * (reach - 1) ** 2 * (reach + 2)) / 2
        c0 = beta * (reach - 1) ** 3 + 1 - c2
    out = numpy.zeros_like(r)
    inner = r <= 1
    out[inner] = c0 - r[inner] ** alpha + c2 * r[inner] ** 2
    outer = (r > 1) & (r <= reach)
    out[outer] = beta * (reach - r[outer]) ** 3 / r[outer]
    return out, c2


_EMBEDDINGS = {}


def _embedding(hurst):
    """Square roots of the circulant's eigenvalues (scaled for one FFT) and c2, once per H.

    Stein's reach R is 1 for a = 2H <= 1.5 (a period of 2 covers it) and 2 above (a period of 4)."""
    if hurst not in _EMBEDDINGS:
        alpha = 2 * hurst
        reach = 1.0 if alpha <= 1.5 else 2.0
        n = int(round(2 * reach / _SPACING))
        k = numpy.minimum(numpy.arange(n), n - numpy.arange(n)) * _SPACING
        r = numpy.sqrt(k[:, None] ** 2 + k[None, :] ** 2)
        cov, c2 = _covariance(r, alpha, reach)
        eigen = numpy.real(numpy.fft.fft2(cov))
        if eigen.min() < -1e-9 * eigen.max():
            raise ValueError(f"embedding not positive definite for H = {hurst} ({eigen.min()})")
        _EMBEDDINGS[hurst] = (numpy.sqrt(numpy.clip(eigen, 0, None) / (n * n)), c2)
    return _EMBEDDINGS[hurst]


def fbm_surfaces(hurst, size, seed):
    """Two independent exact fractional Brownian surfaces of `size` x `size` points (arbitrary
    units) from one draw of `seed`: the real and the imaginary part of one FFT."""
    if (size - 1) * _SPACING * math.sqrt(2) > 1:
        raise ValueError(f"a {size}-point patch does not fit the embedding")
    root, c2 = _embedding(hurst)
    n = root.shape[0]
    rng = numpy.random.default_rng(seed)
    z = rng.standard_normal((n, n)) + 1j * rng.standard_normal((n, n))
    both = numpy.fft.fft2(root * z)[:size, :size]
    y, x = numpy.mgrid[0:size, 0:size] * _SPACING
    surfaces = []
    for field in (both.real, both.imag):
        plane = rng.standard_normal(2) * math.sqrt(2 * c2)
        surfaces.append(field - field[0, 0] + plane[0] * x + plane[1] * y)
    return surfaces


def fbm_surface(hurst, size, number):
    """Surface `number` (0, 1, 2, ...) of H: part number % 2 of the draw seeded with
    1000 x round(10 H) + number // 2."""
    return fbm_surfaces(hurst, size, 1000 * int(round(10 * hurst)) + number // 2)[number % 2]


def grey_levels(surface, contrast):
    """Heights as grey levels: the full range spans 0..255 at contrast 1, `contrast` of it about 127.5."""
    lo, hi = surface.min(), surface.max()
    g = 127.5 + contrast * ((surface - lo) / (hi - lo) - 0.5) * 255
    return numpy.clip(numpy.rint(g), 0, 255).astype(numpy.uint8)


# ---- curves of known dimension -------------------------------------------------------------------

KOCH = math.log(4) / math.log(3)


def koch_snowflake(level, centre, radius):
    """The snowflake's corners, its first triangle inscribed in a circle of `radius`."""
    corners = [(centre[0] + radius * math.cos(math.radians(90 + 120 * i)),
                centre[1] - radius * math.sin(math.radians(90 + 120 * i))) for i in range(3)]
    points = numpy.array(corners + corners[:1])
    for _ in range(level):
        a, b = points[:-1], points[1:]
        d = (b - a) / 3
        p1, p3 = a + d, a + 2 * d
        # The bump turns 60 degrees to the outside of the triangle (its corners run top, lower
        # left, lower right with y downwards).
        rot = numpy.array([[0.5, -math.sqrt(3) / 2], [math.sqrt(3) / 2, 0.5]])
        p2 = p1 + d @ rot.T
        out = numpy.empty((4 * len(a) + 1, 2))
        out[0:-1:4], out[1::4], out[2::4], out[3::4] = a, p1, p2, p3
        out[-1] = points[-1]
        points = out
    return points


def quadratic_koch_island(level, centre, half):
    """The quadratic Koch island (each side becomes 8 sides of a quarter its length): dimension 1.5."""
    c = numpy.array(centre, dtype=float)
    points = numpy.array([[-1, -1], [1, -1], [1, 1], [-1, 1], [-1, -1]], dtype=float) * half + c
    steps = [(0, 0), (1, 0), (1, 1), (2, 1), (2, 0), (2, -1), (3, -1), (3, 0), (4, 0)]
    for _ in range(level):
        a, b = points[:-1], points[1:]
        u = (b - a) / 4
        v = numpy.stack([-u[:, 1], u[:, 0]], axis=1)
        parts = [a + s * u + t * v for s, t in steps[:-1]]
        out = numpy.empty((8 * len(a) + 1, 2))
        for i, p in enumerate(parts):
            out[i:-1:8] = p
        out[-1] = points[-1]
        points = out
    return points


def circle(centre, radius, sides=2048):
    t = numpy.linspace(0, 2 * math.pi, sides + 1)
    return numpy.stack([centre[0] + radius * numpy.cos(t), centre[1] + radius * numpy.sin(t)], axis=1)


def square(centre, half, degrees=0.0):
    t = math.radians(degrees)
    corners = numpy.array([[-1, -1], [1, -1], [1, 1], [-1, 1], [-1, -1]], dtype=float) * half
    rot = numpy.array([[math.cos(t), -math.sin(t)], [math.sin(t), math.cos(t)]])
    return corners @ rot.T + numpy.array(centre, dtype=float)


def inside(polygon, width, height):
    """Pixels whose centre lies inside the polygon, [y, x]."""
    y, x = numpy.mgrid[0:height, 0:width]
    centres = numpy.stack([x.ravel() + 0.5, y.ravel() + 0.5], axis=1)
    return Path(polygon).contains_points(centres).reshape(height, width)


def ideal_edge(polygon, width, height):
    """Pixels the polygon's sides pass through (sampled every 1/16 pixel), [y, x]."""
    marks = numpy.zeros((height, width), dtype=bool)
    for a, b in zip(polygon[:-1], polygon[1:]):
        steps = max(1, int(math.ceil(numpy.hypot(*(b - a)) * 16)))
        t = numpy.linspace(0, 1, steps + 1)[:, None]
        p = numpy.floor(a + t * (b - a)).astype(int)
        ok = (p[:, 0] >= 0) & (p[:, 0] < width) & (p[:, 1] >= 0) & (p[:, 1] < height)
        marks[p[ok, 1], p[ok, 0]] = True
    return marks


def paint(mask, fore, back):
    """An RGB picture: `fore` where mask is set, `back` elsewhere."""
    rgb = numpy.empty(mask.shape + (3,), dtype=numpy.uint8)
    rgb[...] = back
    rgb[mask] = fore
    return rgb


# ---- files ---------------------------------------------------------------------------------------


def write_png(path, rgb):
    """An 8-bit RGB PNG, no filter, zlib level 9: the same pixels give the same bytes."""
    height, width, _ = rgb.shape
    raw = b"".join(b"\0" + rgb[y].tobytes() for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) +
                chunk(b"IEND", b""))
