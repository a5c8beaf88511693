"""A batch's rows: what each photograph's row holds beside its measurements, and the DataFrame they make."""

from __future__ import annotations

import os

from . import _skinmeters

# What a result reports beside the measurements: a batch keeps them apart from the measurement columns.
RESULT_NOTES = ("exifOrientation", "warning")
# Which file a row was measured from, as the tools' --json reports name it.
PROVENANCE = ("path", "bytes", "sha256")
# A texture batch's row with squares=: the square the photograph was analysed in, where it came
# from and where its seed came from, as texturemeter-cli's --json report names them.
SQUARE_COLUMNS = ("x", "y", "side", "window", "neighbour", "variant", "squareSource", "squareFile", "seedSource")

# The fit behind each dimension that is the slope of one log-log line, under the measurements'
# "fits": its R² and 95 % fit interval become columns beside the dimension.
DIMENSION_FITS = {
    "texture": {"outlineDimension": ("outline",), "totalDimension": ("monochrome", "wholeWindow")},
    "lesion": {"outlineDimension": ("outline",),
               **{name: (name,) for name in ("profileRow140", "profileRow170", "profileColumn140",
                                             "profileColumn170")}},
}


def flatten(measurements, prefix=""):
    """Nested measurement names joined by "." ({"hessian": {"meanDimension": v}} -> "hessian.meanDimension")."""
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


def fit_columns(kind, fits):
    """The R² and fit interval of each fitted dimension, named after it: NAME.rSquared,
    NAME.dimensionCi95.1 and NAME.dimensionCi95.2 (None where the fit has no interval)."""
    columns = {}
    for name, where in DIMENSION_FITS[kind].items():
        fit = fits
        for key in where:
            fit = fit.get(key) if isinstance(fit, dict) else None
        if not isinstance(fit, dict):
            continue
        interval = fit.get("dimensionCi95") or (None, None)
        columns[f"{name}.rSquared"] = fit.get("rSquared")
        columns[f"{name}.dimensionCi95.1"] = interval[0]
        columns[f"{name}.dimensionCi95.2"] = interval[1]
    return columns


def measurement_columns(kind, measurements):
    """A row's measurement columns: each measurement, with its fit's R² and interval right after a
    fitted dimension."""
    fits = measurements.pop("fits", None) or {}
    extra = fit_columns(kind, fits)
    row = {}
    for name, value in flatten(measurements).items():
        row[name] = value
        if name in DIMENSION_FITS[kind]:
            for suffix in (".rSquared", ".dimensionCi95.1", ".dimensionCi95.2"):
                if name + suffix in extra:
                    row[name + suffix] = extra[name + suffix]
    return row, fits


def provenance(name):
    """The row's path (as analysed: absolute on a cluster), and its file's size and SHA-256."""
    identity = _skinmeters.file_identity(name)
    return {"path": photo_column(name), "bytes": None if identity is None else identity[0],
            "sha256": None if identity is None else identity[1]}


def photo_column(path):
    """A photograph's name as the batch's "photo" column shows it: a str, as os.fsdecode gives it."""
    try:
        return os.fsdecode(path)
    except TypeError:
        return path


def absolute(path):
    """A file name joined to the client's working folder when relative, so that a worker started
    elsewhere reads the same file. What is no file name (or holds a NUL byte) is left for its row
    to report."""
    try:
        name = os.fspath(path)
    except TypeError:
        return path
    if isinstance(name, (str, bytes)) and not os.path.isabs(name) and ("\0" if isinstance(name, str) else b"\0") not in name:
        return os.path.join(os.getcwd() if isinstance(name, str) else os.getcwdb(), name)
    return name


def frame(rows, attrs, fits=False):
    """The batch's DataFrame: one row per photograph in the order given.

    Columns: the photograph, where it was read from (path, bytes, sha256), its measurements in the
    analysis's order (each fitted dimension followed by its R² and fit interval), the notes beside
    them, the fits (with fits=True), the seed (exact UInt64) and the error.
    """
    import pandas

    measured = {}
    for row in rows:
        measured.update(dict.fromkeys(k for k in row if k not in ("photo", "seed", "error", "fits",
                                                                  *PROVENANCE, *RESULT_NOTES)))
    given = [name for name in PROVENANCE if any(name in row for row in rows)]
    notes = [note for note in RESULT_NOTES if any(note in row for row in rows)]
    extra = ["fits"] if fits and rows else []
    result = pandas.DataFrame.from_records(rows, columns=["photo", *given, *measured, *notes, *extra, "seed", "error"])
    for name in ("warning", "sha256", "path", *extra):
        if name in result.columns:
            result[name] = pandas.Series([row.get(name) for row in rows], dtype=object)
    for name in ("exifOrientation", "bytes", "x", "y", "side"):
        if name in result.columns:
            result[name] = pandas.array([row.get(name) for row in rows], dtype="Int64")
    result["seed"] = uint64_column([row.get("seed") for row in rows])
    result.attrs.update(attrs)
    return result


def uint64_column(values):
    """Whole numbers up to 2**64 - 1, or None, as a pandas UInt64 column that keeps every one exact
    (a float64 column, or pandas.array of a list, may round those above 2**53)."""
    import numpy
    import pandas

    mask = numpy.array([v is None for v in values], dtype=bool)
    numbers = numpy.array([0 if v is None else v for v in values], dtype=numpy.uint64)
    return pandas.arrays.IntegerArray(numbers, mask)


def as_given(row, given, analysed):
    """A row whose photograph was read under its absolute name `analysed`: its messages name it as
    `given`, as the tool run on the same names would."""
    if given == analysed or not isinstance(given, str) or not isinstance(analysed, str):
        return row
    for name in ("error", "warning"):
        if isinstance(row.get(name), str):
            row[name] = row[name].replace(analysed, given)
    return row
