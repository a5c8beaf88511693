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
# "fits" (as the compiled analysis names them): its R² and 95 % fit interval are columns beside the
# dimension.
DIMENSION_FITS = {kind: _skinmeters.dimension_fits(kind) for kind in ("texture", "lesion")}


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

    Columns: the photograph, where it was read from (path, bytes, sha256), its square (squares=),
    its measurements in the
    tools' order (each fitted dimension followed by its R² and fit interval), the notes beside
    them, the fits (with fits=True), the seed (exact UInt64) and the error.
    """
    import pandas

    present = {}
    for row in rows:
        present.update(dict.fromkeys(k for k in row if k not in ("photo", "seed", "error", "fits", *PROVENANCE,
                                                                 *SQUARE_COLUMNS, *RESULT_NOTES)))
    # In the tools' order, whichever row has them first.
    names = _skinmeters.measurement_names(attrs["kind"])
    measured = [name for name in names if name in present] + [name for name in present if name not in set(names)]
    given = [name for name in (*PROVENANCE, *SQUARE_COLUMNS) if any(name in row for row in rows)]
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
