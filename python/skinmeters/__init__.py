"""skinmeters: the texture and lesion analyses of texturemeter-cli and lesionmeter-cli, from Python.

    import skinmeters
    skinmeters.texture("photo.jpg", seed=1)                     # one photograph -> dict
    skinmeters.lesion("lesion.jpg", "lesion.marks.json")        # one lesion, from its marks -> dict
    skinmeters.batch(paths, seed=1)                             # many -> pandas.DataFrame
    skinmeters.batch(paths, seed=1, client=dask_client)         # spread over a Dask cluster

The numbers are those of the command-line tools for the same pixels, parameters and seed. The
analyses run without the interpreter lock, so threads analyse photographs in parallel.
"""

from __future__ import annotations

import concurrent.futures
import json
import numbers
import os
import warnings
from typing import TYPE_CHECKING, Any, Iterable, Mapping, Optional, Union

from . import _skinmeters
from ._skinmeters import AnalysisError, __version__, photo_seed

if TYPE_CHECKING:
    import dask.distributed
    import numpy
    import pandas

__all__ = ["texture", "lesion", "batch", "AnalysisError", "AnalysisWarning", "photo_seed", "__version__"]

AnalysisError.__doc__ = """An analysis that failed; its message is the one the command-line tool prints.

Raised by texture() and lesion() (batch() keeps the message in the row's "error" instead). When only
the lesion analysis's "axis" failed (no dark pixel in the outline), `measurements` holds the other
results of that analysis.
"""

#: A photograph: a file name (JPEG, BMP or PNG), or a numpy uint8 array (height, width, 3) in RGB order.
Image = Union[str, "os.PathLike[str]", "numpy.ndarray"]
#: A marks file's name, or a dict of the same shape as a marks file.
Marks = Union[str, "os.PathLike[str]", Mapping[str, Any]]
#: A square file's name, or a dict of the same shape as a square file.
SquareSource = Union[str, "os.PathLike[str]", Mapping[str, Any]]
#: A parameter: a number, or its text as the command-line tool would take it.
Parameter = Union[int, float, str]


class AnalysisWarning(UserWarning):
    """What texturemeter-cli and lesionmeter-cli print as a warning: a square reaching past the
    photograph's edge, a JPEG whose EXIF orientation is not 1."""


def _parameter_value(name, value):
    """A parameter as the compiled analysis reads it: an int, a float, or the text of a number."""
    if isinstance(value, bool) or not isinstance(value, (numbers.Real, str)):
        raise TypeError(f"{name} must be a number, not {type(value).__name__}")
    if isinstance(value, numbers.Integral):
        return int(value)
    return value if isinstance(value, str) else float(value)


def _seed_value(seed):
    if seed is None:
        return None
    if isinstance(seed, bool) or not isinstance(seed, numbers.Integral) or not 0 <= seed < 2**64:
        raise ValueError(f"seed must be a whole number from 0 to 2**64 - 1, not {seed!r}")
    return int(seed)


def _texture(image, x, y, side, window, neighbour, variant, seed, position, fits=True):
    return _skinmeters.texture(
        image,
        _parameter_value("x", x),
        _parameter_value("y", y),
        _parameter_value("side", side),
        _parameter_value("window", window),
        _parameter_value("neighbour", neighbour),
        str(variant),
        _seed_value(seed),
        position,
        fits,
    )


def _square_fields(image, square):
    """A square (file name or dict) as its fields, read and checked as the tools read a square file."""
    if isinstance(square, Mapping):
        document = {"format": "texturemeter-square", "version": 1, **square}
        photo = document.get("photo")
        if photo is None or isinstance(photo, (str, bytes)):
            text = json.dumps({**document, "photo": ""}, default=_plain)
            return _skinmeters.square(None, text, None if photo is None else os.fsencode(photo), image)
        return _skinmeters.square(None, json.dumps(document, default=_plain), None, image)
    if isinstance(square, (str, bytes, os.PathLike)):
        return _skinmeters.square(square, None, None, image)
    raise TypeError(f"square must be a square-file name or a dict, not {type(square).__name__}")


def texture(image: Image, x: Parameter = 0, y: Parameter = 0, side: Parameter = 200, window: Parameter = 40,
            neighbour: Parameter = 4, variant: str = "A", seed: Optional[int] = None,
            square: Optional[SquareSource] = None) -> dict[str, Any]:
    """The texture analysis of one photograph, as texturemeter-cli does it.

    image: a file name (JPEG, BMP or PNG), or a numpy uint8 array of shape (height, width, 3) in
    RGB order. x, y: the top-left corner of the analysed square; side: its side; window: the tile
    side of the surface dimension; neighbour: the neighbour distance of the bright-region outline;
    variant: "A", "B" or "C". seed: texturemeter-cli's --seed (None: a seed from the clock).
    square: a square file (NAME.square.json, as the texturemeter window's "Save square" writes it)
    or a dict of the same shape ("format" and "version" may be left out): its corner, side,
    window, neighbour, variant and seed are used, the arguments fill in what it leaves out (null).
    A square made for another photograph than the image file is refused.

    Returns the named measurements of the photograph, the seed used (the photo seed: given back as
    seed, it repeats these numbers), "exifOrientation" (a JPEG's EXIF orientation, 1..8; 0 when it
    records none, as for an array) and "warning": texturemeter-cli's warnings, one line each (a JPEG
    stored turned, a square reaching past the photograph's edge), else None; each is also given as
    an AnalysisWarning. Raises AnalysisError with the tool's message when the analysis fails, also
    for a square entirely outside the photograph.
    """
    if square is not None:
        given = _square_fields(image, square)
        x, y = given["x"], given["y"]
        side, window, neighbour, variant, seed = (
            default if given[name] is None else given[name]
            for name, default in (("side", side), ("window", window), ("neighbour", neighbour),
                                  ("variant", variant), ("seed", seed)))
    result = _texture(image, x, y, side, window, neighbour, variant, seed, 0)
    _warn(result)
    return result


def _plain(value):
    """numpy numbers and arrays in a marks dict as the JSON numbers and lists they stand for."""
    if hasattr(value, "tolist"):
        return value.tolist()
    raise TypeError(f"a marks dict holds numbers, lists, strings and None, not {type(value).__name__}")


def _marks_source(marks):
    """A marks file's name, or the text of a marks dict and its photo name, as the compiled analysis takes them.

    A dict's photo name travels beside the text, as the bytes the file system holds (a str is
    os.fsencode'd), so that any file name fits; a dict may leave it out.
    """
    if isinstance(marks, dict):
        photo = marks.get("photo")
        if photo is None or isinstance(photo, (str, bytes)):
            text = json.dumps({**marks, "photo": ""}, default=_plain)
            return None, text, None if photo is None else os.fsencode(photo)
        return None, json.dumps(marks, default=_plain), None
    if isinstance(marks, (str, bytes, os.PathLike)):
        return marks, None, None
    raise TypeError(f"marks must be a marks-file name or a dict, not {type(marks).__name__}")


def _lesion(image, marks, seed, fit, fallback_seed=None):
    """The measurements (with the seed used) and the message of an "axis" that found no outline, or None."""
    path, text, photo = _marks_source(marks)
    return _skinmeters.lesion(image, path, text, _seed_value(seed), bool(fit), fallback_seed, photo)


def lesion(image: Image, marks: Marks, seed: Optional[int] = None, fit: bool = False) -> dict[str, Any]:
    """The lesion analysis of one photograph from its marks, as lesionmeter-cli IMAGE --marks FILE does it.

    image: a file name (JPEG, BMP or PNG), or a numpy uint8 array of shape (height, width, 3) in
    RGB order. marks: a marks file's name, or a dict of the same shape as a marks file
    ({"format": "lesionmeter-marks", "version": 1, "photo": ..., "in": [[x, y], ...], "out": [...],
    "centre": [x, y] or None, "seed": N or None, "scale": 1.0}). seed: lesionmeter-cli's --seed;
    without it the marks' seed, without that a seed drawn from the clock. fit: --fit, a photograph
    larger than 500 x 503 is reduced to fit first.

    Returns the named measurements of the photograph, the seed used, "exifOrientation" and
    "warning" as texture() gives them. Raises AnalysisError with the tool's message when the
    analysis fails, also for marks whose "photo" names another photograph than the file (a dict may
    leave "photo" out); when only "axis" failed (no dark pixel in the outline) the error's
    `measurements` holds the other results.
    """
    measurements, problem = _lesion(image, marks, seed, fit)
    _warn(measurements)
    if problem is not None:
        # "axis" found no dark pixel in the outline: the tool reports the other results and this
        # message; here they travel with the error.
        error = AnalysisError(problem)
        error.measurements = measurements
        raise error
    return measurements


def _warn(result, photo=None):
    """The result's warnings (texturemeter-cli's and lesionmeter-cli's), each as an AnalysisWarning."""
    for text in (result.get("warning") or "").split("\n"):
        if text:
            warnings.warn(text if photo is None else f"{photo}: {text}", AnalysisWarning, stacklevel=3)


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


def _photo_column(path):
    """A photograph's name as the batch's "photo" column shows it: a str, as os.fsdecode gives it."""
    try:
        return os.fsdecode(path)
    except TypeError:
        return path


# What a result reports beside the measurements: a batch keeps them apart from the measurement columns.
_RESULT_NOTES = ("exifOrientation", "warning")


def _place_seed(kind, position, seed):
    """A batch row's seed before its analysis: a texture's photo seed of its place; a lesion's batch seed."""
    return photo_seed(seed, position) if kind == "texture" else seed


def _analyse(kind, path, position, seed, parameters):
    """One row of a batch: the photograph's measurements, or its error. Runs on a thread or a Dask worker."""
    row = {"photo": _photo_column(path), "seed": _place_seed(kind, position, seed)}
    try:
        # A name that is no file name (not str, bytes or os.PathLike, or holding a NUL byte) is
        # this row's error, not the batch's.
        name = _skinmeters.file_name(path)
    except (TypeError, ValueError) as e:
        row["error"] = str(e)
        return row
    try:
        if kind == "texture":
            measurements = _texture(name, seed=seed, position=position, fits=False, **parameters)
            problem = None
        else:
            if parameters["marks"] is None:
                parameters = {**parameters, "marks": _skinmeters.marks_file_for(name)}
            measurements, problem = _lesion(name, **parameters)
        row["seed"] = measurements.pop("seed")
        for note in _RESULT_NOTES:
            row[note] = measurements.pop(note, None)
        # A row holds one number per column; the fits (lists of points and tiles) stay with
        # texture() and lesion().
        measurements.pop("fits", None)
        row.update(_flatten(measurements))
        row["error"] = problem
    except AnalysisError as e:
        row["error"] = str(e)
    return row


_TEXTURE_DEFAULTS = {"x": 0, "y": 0, "side": 200, "window": 40, "neighbour": 4, "variant": "A"}
_LESION_DEFAULTS = {"fit": False}


def _lesion_marks(paths, marks):
    """The marks of every photograph: its own marks file beside it (NAME.marks.json), one per
    photograph from a list, or the same file or dict for all."""
    if marks is None:
        return [None] * len(paths)  # each photograph's own, found where it is analysed
    if isinstance(marks, (dict, str, bytes, os.PathLike)):
        return [marks] * len(paths)
    marks = list(marks)
    if len(marks) != len(paths):
        raise ValueError(f"marks has {len(marks)} entries for {len(paths)} photographs")
    return marks


def _batch_tasks(paths, kind, seed, marks, parameters):
    """The arguments of _analyse for every photograph."""
    if kind == "texture":
        if marks is not None:
            raise TypeError("marks belong to kind=\"lesion\"")
        unknown = set(parameters) - set(_TEXTURE_DEFAULTS)
        defaults = _TEXTURE_DEFAULTS
    elif kind == "lesion":
        unknown = set(parameters) - set(_LESION_DEFAULTS)
        defaults = _LESION_DEFAULTS
    else:
        raise ValueError(f"kind must be \"texture\" or \"lesion\", not {kind!r}")
    if unknown:
        raise TypeError(f"unknown parameter(s) for kind={kind!r}: {', '.join(sorted(unknown))}")
    parameters = {**defaults, **parameters}
    if kind == "texture":
        # Without a seed the photographs share one clock seed, so the batch can be repeated with it.
        base = _clock_seed() if seed is None else seed
        return [(kind, p, i, base, parameters) for i, p in enumerate(paths)]
    # As lesionmeter-cli's batch: the batch's seed for every photograph; without one each
    # photograph's marks' seed, without that a seed of its own from the clock and its place.
    base = _clock_seed()
    return [(kind, p, i, seed, {**parameters, "marks": m, "seed": seed, "fallback_seed": photo_seed(base, i) >> 11})
            for i, (p, m) in enumerate(zip(paths, _lesion_marks(paths, marks)))]


def batch(paths: Iterable[Union[str, bytes, "os.PathLike[str]"]], kind: str = "texture", seed: Optional[int] = None,
          client: Optional[dask.distributed.Client] = None, jobs: Optional[int] = None,
          marks: Union[Marks, Iterable[Marks], None] = None, **parameters: Any) -> pandas.DataFrame:
    """Analyses many photographs; returns a pandas.DataFrame with one row per photograph, in input order.

    paths: file names as texture() takes them (str, bytes or os.PathLike); an entry that is no
    file name is its row's error.
    kind="texture": parameters are those of texture() (x, y, side, window, neighbour, variant);
    with seed=S every row equals texturemeter-cli --seed S over the same list, and row i's "seed"
    is photo_seed(S, i), the seed that repeats the row with that photograph alone.
    kind="lesion": each photograph is analysed from its marks as lesion() does it. marks: None for
    the marks file beside each photograph (DIR/NAME.marks.json, as lesionmeter-cli's batch reads
    them), a list with one marks file or dict per photograph, or one for all; parameter: fit.
    With seed=S every photograph's run uses S (as lesionmeter-cli --seed S); without it, its
    marks' seed or one of its own. Either way the row's "seed" is the seed used.
    client: a dask.distributed.Client; the photographs are spread over its workers (each worker
    must be able to import skinmeters and read the files). Without a client, `jobs` local threads
    (default: the number of cores) analyse them.

    Beside the measurements, "exifOrientation" and "warning" as texture() reports them (each
    warning also given as an AnalysisWarning naming the photograph), and "seed", an exact pandas
    UInt64 column. A photograph that fails keeps its row: its measurements are missing and the
    column "error" holds the tool's message ("error" is None for the others). A lesion whose "axis" finds no
    outline keeps its other measurements beside the message.
    """
    import pandas

    paths = list(paths)
    seed = _seed_value(seed)
    tasks = _batch_tasks(paths, kind, seed, marks, parameters)

    if client is not None:
        futures = client.map(_analyse, *zip(*tasks), pure=False) if tasks else []
        rows = []
        for (kind, path, position, place_seed, _), future in zip(tasks, futures):
            try:
                rows.append(future.result())
            except Exception as e:  # a worker lost or unable to run the task
                rows.append({"photo": _photo_column(path), "seed": _place_seed(kind, position, place_seed),
                             "error": f"{type(e).__name__}: {e}"})
    else:
        workers = jobs or os.cpu_count() or 1
        with concurrent.futures.ThreadPoolExecutor(max_workers=workers) as pool:
            rows = list(pool.map(lambda task: _analyse(*task), tasks))

    # A square reaching past the photograph's edge, or a photograph the camera meant to be turned,
    # is said here for each row, as texturemeter-cli says it on stderr.
    for row in rows:
        _warn(row, row["photo"])

    # Columns: the photograph, its measurements in the analysis's order, the notes beside them (when
    # any photograph was analysed), the seed, the error.
    measured = {}
    for row in rows:
        measured.update(dict.fromkeys(k for k in row if k not in ("photo", "seed", "error", *_RESULT_NOTES)))
    notes = [note for note in _RESULT_NOTES if any(note in row for row in rows)]
    frame = pandas.DataFrame.from_records(rows, columns=["photo", *measured, *notes, "seed", "error"])
    if "warning" in notes:
        frame["warning"] = pandas.Series([row.get("warning") for row in rows], dtype=object)
    if "exifOrientation" in notes:
        frame["exifOrientation"] = pandas.array([row.get("exifOrientation") for row in rows], dtype="Int64")
    frame["seed"] = _uint64_column([row.get("seed") for row in rows])
    return frame


def _uint64_column(values):
    """Whole numbers up to 2**64 - 1, or None, as a pandas UInt64 column that keeps every one exact
    (a float64 column, or pandas.array of a list, may round those above 2**53)."""
    import numpy
    import pandas

    mask = numpy.array([v is None for v in values], dtype=bool)
    numbers = numpy.array([0 if v is None else v for v in values], dtype=numpy.uint64)
    return pandas.arrays.IntegerArray(numbers, mask)


def _clock_seed():
    return int.from_bytes(os.urandom(8), "little")
