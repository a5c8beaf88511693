"""skinmeters: the texture and lesion analyses of texturemeter-cli and lesionmeter-cli, from Python.

    import skinmeters
    skinmeters.texture("photo.jpg", seed=1)                     # one photograph -> dict
    skinmeters.batch(paths, seed=1)                             # many -> pandas.DataFrame
    skinmeters.batch(paths, seed=1, client=dask_client)         # spread over a Dask cluster

The numbers are those of the command-line tools for the same pixels, parameters and seed. The
analyses run without the interpreter lock, so threads analyse photographs in parallel.
"""

import concurrent.futures
import numbers
import os

from . import _skinmeters
from ._skinmeters import AnalysisError, photo_seed

__all__ = ["texture", "batch", "AnalysisError", "photo_seed"]


def _parameter_text(name, value):
    """A parameter as the command-line tool would receive it."""
    if isinstance(value, bool) or not isinstance(value, (numbers.Real, str)):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        return str(int(value))
    return value if isinstance(value, str) else repr(float(value))


def _seed_value(seed):
    if seed is None:
        return None
    if isinstance(seed, bool) or not isinstance(seed, numbers.Integral) or not 0 <= seed < 2**64:
        raise ValueError(f"seed must be a whole number from 0 to 2**64 - 1, not {seed!r}")
    return int(seed)


def _texture(image, x, y, side, window, neighbour, variant, seed, position):
    return _skinmeters.texture(
        image,
        _parameter_text("x", x),
        _parameter_text("y", y),
        _parameter_text("side", side),
        _parameter_text("window", window),
        _parameter_text("neighbour", neighbour),
        str(variant),
        _seed_value(seed),
        position,
    )


def texture(image, x=0, y=0, side=200, window=40, neighbour=4, variant="A", seed=None):
    """The texture analysis of one photograph, as texturemeter-cli does it.

    image: a file name (JPEG, BMP or PNG), or a numpy uint8 array of shape (height, width, 3) in
    RGB order. x, y: the top-left corner of the analysed square; side: its side; window: the tile
    side of the surface dimension; neighbour: the neighbour distance of the bright-region outline;
    variant: "A", "B" or "C". seed: texturemeter-cli's --seed (None: a seed from the clock).

    Returns the named measurements of the photograph and the seed used. Raises AnalysisError with
    the tool's message when the analysis fails.
    """
    return _texture(image, x, y, side, window, neighbour, variant, seed, 0)


def _flatten(measurements, prefix=""):
    """Nested measurement names joined by "." ({"hessian": {"meanDimension": v}} -> "hessian.meanDimension")."""
    row = {}
    for name, value in measurements.items():
        if isinstance(value, dict):
            row.update(_flatten(value, f"{prefix}{name}."))
        elif isinstance(value, list):
            for i, item in enumerate(value, 1):
                row[f"{prefix}{name}.{i}"] = item
        else:
            row[f"{prefix}{name}"] = value
    return row


def _analyse(kind, path, position, seed, parameters):
    """One row of a batch: the photograph's measurements, or its error. Runs on a thread or a Dask worker."""
    row = {"photo": os.fsdecode(path), "seed": seed}
    try:
        if kind == "texture":
            measurements = _texture(path, seed=seed, position=position, **parameters)
            # A row holds one number per column; the fits (lists of points and tiles) stay with texture().
            measurements.pop("fits", None)
        else:
            raise ValueError(f"kind must be \"texture\", not {kind!r}")
        row.update(_flatten(measurements))
        row["error"] = None
    except AnalysisError as e:
        row["error"] = str(e)
    return row


_TEXTURE_DEFAULTS = {"x": 0, "y": 0, "side": 200, "window": 40, "neighbour": 4, "variant": "A"}


def batch(paths, kind="texture", seed=None, client=None, jobs=None, **parameters):
    """Analyses many photographs; returns a pandas.DataFrame with one row per photograph, in input order.

    kind: "texture". parameters: those of texture() (x, y, side, window, neighbour, variant).
    seed: with seed=S every row equals texturemeter-cli --seed S over the same list.
    client: a dask.distributed.Client; the photographs are spread over its workers (each worker
    must be able to import skinmeters and read the files). Without a client, `jobs` local threads
    (default: the number of cores) analyse them.

    A photograph that fails keeps its row: its measurements are missing and the column "error"
    holds the tool's message ("error" is None for the others).
    """
    import pandas

    paths = [os.fspath(p) for p in paths]
    seed = _seed_value(seed)
    if kind != "texture":
        raise ValueError(f"kind must be \"texture\", not {kind!r}")
    unknown = set(parameters) - set(_TEXTURE_DEFAULTS)
    if unknown:
        raise TypeError(f"unknown parameter(s) for kind={kind!r}: {', '.join(sorted(unknown))}")
    parameters = {**_TEXTURE_DEFAULTS, **parameters}
    # Without a seed the photographs share one clock seed, so the batch can be repeated with it.
    if seed is None:
        seed = _clock_seed()

    if client is not None:
        futures = client.map(
            _analyse,
            [kind] * len(paths),
            paths,
            range(len(paths)),
            [seed] * len(paths),
            [parameters] * len(paths),
            pure=False,
        )
        rows = []
        for path, future in zip(paths, futures):
            try:
                rows.append(future.result())
            except Exception as e:  # a worker lost or unable to run the task
                rows.append({"photo": path, "error": f"{type(e).__name__}: {e}"})
    else:
        workers = jobs or os.cpu_count() or 1
        with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
            rows = list(pool.map(lambda i: _analyse(kind, paths[i], i, seed, parameters), range(len(paths))))

    # Columns: the photograph, its measurements in the analysis's order, the seed, the error.
    measured = {}
    for row in rows:
        measured.update(dict.fromkeys(k for k in row if k not in ("photo", "seed", "error")))
    return pandas.DataFrame.from_records(rows, columns=["photo", *measured, "seed", "error"])


def _clock_seed():
    return int.from_bytes(os.urandom(8), "little")
