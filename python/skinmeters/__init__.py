"""skinmeters: the texture and lesion analyses of texturemeter-cli and lesionmeter-cli, from Python.

    import skinmeters
    skinmeters.texture("photo.jpg", seed=1)                     # one photograph -> dict
    skinmeters.lesion("lesion.jpg", "lesion.marks.json")        # one lesion, from its marks -> dict
    skinmeters.batch(paths, seed=1)                             # many -> pandas.DataFrame
    skinmeters.batch(paths, squares="beside")                   # each in its saved square
    skinmeters.batch(paths, seed=1, client=dask_client)         # spread over a Dask cluster

The numbers are those of the command-line tools for the same pixels, parameters and seed. The
analyses run without the interpreter lock, so threads analyse photographs in parallel.
"""

from __future__ import annotations

import json
import numbers
import os
import warnings
from typing import TYPE_CHECKING, Any, Iterable, Mapping, Optional, Union

from . import _cluster, _rows, _skinmeters
from ._cluster import ClusterError
from ._skinmeters import AnalysisError, __version__, photo_seed

if TYPE_CHECKING:
    import dask.distributed
    import numpy
    import pandas

__all__ = ["texture", "lesion", "batch", "read_marks", "write_marks", "AnalysisError", "AnalysisWarning", "ClusterError",
           "photo_seed", "__version__"]

AnalysisError.__doc__ = """An analysis that failed; its message is the one the command-line tool prints.

Raised by texture() and lesion() (batch() keeps the message in the row's "error" instead). When only
the lesion analysis's "axis" failed (no dark pixel in the outline), `measurements` holds the other
results of that analysis. `seed`: the seed the analysis used or would have used, when it was known
before the failure (a lesion's once its marks were read), else None.
"""

#: A photograph: a file name (JPEG, BMP or PNG), or a numpy uint8 array (height, width, 3) in RGB order.
Image = Union[str, "os.PathLike[str]", "numpy.ndarray"]
#: A marks file's name, or a dict of the same shape as a marks file.
Marks = Union[str, "os.PathLike[str]", Mapping[str, Any]]
#: A square file's name, or a dict of the same shape as a square file.
SquareSource = Union[str, "os.PathLike[str]", Mapping[str, Any]]
#: Where a batch finds each photograph's square: "beside" (its square file), a square table's file
#: name, or a pandas.DataFrame of the table's columns.
Squares = Union[str, "os.PathLike[str]", "pandas.DataFrame"]
#: A position on the photograph, in its pixels: (x, y).
Position = tuple[float, float]
#: Positions in click order.
Positions = Iterable[Position]
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


def _lesion(image, marks, seed, fit, clock_base=None, position=0):
    """The measurements (with the seed used) and the message of an "axis" that found no outline, or None.

    The seed is the tools' one rule for a lesion: `seed`, else the marks' seed, else the photo seed
    of place `position` of a batch whose clock seed is `clock_base` (None: one drawn now)."""
    path, text, photo = _marks_source(marks)
    return _skinmeters.lesion(image, path, text, _seed_value(seed), bool(fit), clock_base, position, photo)


def lesion(image: Image, marks: Optional[Marks] = None, seed: Optional[int] = None, fit: bool = False, *,
           inside: Optional[Positions] = None, outside: Optional[Positions] = None,
           centre: Optional[Position] = None) -> dict[str, Any]:
    """The lesion analysis of one photograph from its marks, as lesionmeter-cli IMAGE --marks FILE does it.

    image: a file name (JPEG, BMP or PNG), or a numpy uint8 array of shape (height, width, 3) in
    RGB order. marks: a marks file's name, or a dict of the same shape as a marks file
    ({"format": "lesionmeter-marks", "version": 1, "photo": ..., "in": [[x, y], ...], "out": [...],
    "centre": [x, y] or None, "seed": N or None, "scale": 1.0}); or, instead of marks, the
    positions themselves: inside=[(x, y), ...] (the IN samples), outside=[...] (the OUT samples)
    and centre=(x, y), checked as a marks file's are. seed: lesionmeter-cli's --seed;
    without it the marks' seed, without that a seed drawn from the clock. fit: --fit, a photograph
    larger than 500 x 503 is reduced to fit first.

    Returns the named measurements of the photograph, the seed used, "exifOrientation" and
    "warning" as texture() gives them. Raises AnalysisError with the tool's message when the
    analysis fails, also for marks whose "photo" names another photograph than the file (a dict may
    leave "photo" out); when only "axis" failed (no dark pixel in the outline) the error's
    `measurements` holds the other results.
    """
    marks = _marks_from(marks, inside, outside, centre)
    measurements, problem = _lesion(image, marks, seed, fit)
    _warn(measurements)
    if problem is not None:
        # "axis" found no dark pixel in the outline: the tool reports the other results and this
        # message; here they travel with the error.
        error = AnalysisError(problem)
        error.measurements = measurements
        raise error
    return measurements


def _marks_from(marks, inside, outside, centre):
    """The marks of lesion(): the marks given, or a marks document of the positions given."""
    if inside is None and outside is None and centre is None:
        if marks is None:
            raise TypeError("lesion() needs marks, or the positions inside=, outside= (and centre=)")
        return marks
    if marks is not None:
        raise TypeError("give marks or inside=/outside=/centre=, not both")
    return _marks_document(inside=inside, outside=outside, centre=centre)


def _marks_document(photo=None, inside=None, outside=None, centre=None, seed=None, scale=1.0):
    """A marks document (the shape of a marks file) of positions given as (x, y) pairs."""

    def position(p):
        return [_plain_number(v) for v in p]

    document = {"format": "lesionmeter-marks", "version": 1, "in": [position(p) for p in inside or []],
                "out": [position(p) for p in outside or []], "centre": None if centre is None else position(centre),
                "seed": seed, "scale": scale}
    if photo is not None:
        document["photo"] = photo
    return document


def _plain_number(value):
    return value.item() if hasattr(value, "item") else value


def read_marks(path: Union[str, bytes, "os.PathLike[str]"]) -> dict[str, Any]:
    """A marks file as a dict of the same shape ({"format", "version", "photo", "in", "out",
    "centre", "seed", "scale"}), read and checked as lesionmeter-cli --marks and the window read it;
    AnalysisError with their message when it is not a marks file of this version."""
    return json.loads(_skinmeters.read_marks_text(path))


def write_marks(path: Union[str, bytes, "os.PathLike[str]"], marks: Optional[Mapping[str, Any]] = None, *,
                photo: Optional[str] = None, inside: Optional[Positions] = None, outside: Optional[Positions] = None,
                centre: Optional[Position] = None, seed: Optional[int] = None, scale: float = 1.0) -> None:
    """Writes a marks file as lesionmeter-cli --save-marks and the window write them: a marks dict,
    or the positions (inside=, outside=, centre=), the photograph's file name `photo`, `seed` and
    `scale`. Checked as a marks file is read (at most 50 samples of a class, a seed from 0 to
    2**64 - 1, a scale in (0, 1]) and refused, before anything is written, over an existing picture;
    AnalysisError with the tools' message. The file is replaced as a whole."""
    if marks is None:
        marks = _marks_document(photo if photo is not None else "", inside, outside, centre, seed, scale)
    elif any(v is not None for v in (photo, inside, outside, centre, seed)) or scale != 1.0:
        raise TypeError("give a marks dict or its parts (photo=, inside=, ...), not both")
    elif not isinstance(marks, Mapping):
        raise TypeError(f"marks must be a dict, not {type(marks).__name__}")
    document = dict(marks)
    photo = document.get("photo")
    if isinstance(photo, bytes):
        document["photo"] = os.fsdecode(photo)
    _skinmeters.write_marks_text(path, json.dumps(document, default=_plain), "write_marks path")


def _warn(result, photo=None):
    """The result's warnings (texturemeter-cli's and lesionmeter-cli's), each as an AnalysisWarning."""
    for text in (result.get("warning") or "").split("\n"):
        if text:
            warnings.warn(text if photo is None else f"{photo}: {text}", AnalysisWarning, stacklevel=3)


_photo_column = _rows.photo_column
_uint64_column = _rows.uint64_column


def _run_rows(tasks, fits=False, jobs=1, progress=None):
    """The rows of `tasks` (photographs of one batch), in their order, from the tools' one batch
    runner: `jobs` threads (0: one per core) analysing without the interpreter lock, each row built
    whole in the compiled analysis (its file, measurement columns, notes, seed and error).
    `progress`, when given, is called with 1 after each row. Runs on the client, or as one Dask task
    on a worker (one thread: the worker's threads run the other tasks)."""
    if not tasks:
        return []
    kind, _, _, (seed, clock_base), parameters = tasks[0]
    if kind == "texture":
        given = {name: _parameter_value(name, parameters[name]) for name in ("x", "y", "side", "window", "neighbour")}
        given["variant"] = str(parameters["variant"])
        marks = None
        # squares=: each photograph's own square and seed, read before the batch (None: no file name).
        squares = [task[4]["square"] for task in tasks] if "square" in parameters else None
    else:
        given = {"fit": bool(parameters["fit"])}
        marks = [(None, None, None) if task[4]["marks"] is None else _marks_source(task[4]["marks"]) for task in tasks]
        squares = None
    rows = _skinmeters.run_batch(kind, [task[1] for task in tasks], [task[2] for task in tasks], given, marks, seed,
                                 clock_base, fits, jobs, progress, squares)
    for row, square in zip(rows, squares or ()):
        if square is not None and "path" in row:
            # The square the photograph was analysed in, as texturemeter-cli's --json report gives it.
            row.update({column: square.get(column) for column in _rows.SQUARE_COLUMNS})
    return rows


def _analyse_chunk(tasks, fits=False):
    """The rows of a chunk of a batch (a Dask task), on one thread of the worker that keeps its
    work grids and pictures from chunk to chunk."""
    return _run_rows(tasks, fits, 1)


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


def _square_table(squares):
    """squares= as the compiled square source takes it: (mode, table file, table text, how attrs name it)."""
    if squares is None:
        return None, None, None, None
    if isinstance(squares, str) and squares == "beside":
        return "beside", None, None, "beside"
    if hasattr(squares, "to_csv"):
        import pandas

        # A DataFrame's table is handed over as the comma-separated text a table file holds; whole
        # numbers that missing cells made floats are written as whole numbers again.
        table = squares.copy()
        for name in table.columns:
            column = table[name]
            if pandas.api.types.is_float_dtype(column) and column.dropna().map(float.is_integer).all():
                table[name] = column.astype("Int64")
        return "table", None, table.to_csv(index=False, lineterminator="\n"), "DataFrame"
    if isinstance(squares, (str, bytes, os.PathLike)):
        return "table", squares, None, os.fsdecode(squares)
    raise TypeError(f"squares must be \"beside\", a square table's file name or a DataFrame, "
                    f"not {type(squares).__name__}")


def _square_runs(paths, squares, parameters, corner_given, base):
    """Each photograph's square, parameters and photo seed (squares=), read by the compiled square
    source as texturemeter-cli --squares reads them; None for an entry that is no file name."""
    mode, table_path, table_text, _ = _square_table(squares)

    def file_name(path):
        try:
            return _skinmeters.file_name(path)
        except (TypeError, ValueError):
            return None

    arguments = {name: parameters[name] if name == "variant" else _parameter_value(name, parameters[name])
                 for name in _TEXTURE_DEFAULTS}
    arguments["variant"] = str(arguments["variant"])
    return _skinmeters.square_runs([file_name(p) for p in paths], mode, table_path, table_text,
                                   "(squares DataFrame)", arguments, corner_given, base, base)


def _batch_tasks(paths, kind, seed, marks, parameters, squares=None):
    """Every photograph's task, (kind, name, place, (seed, clock seed), parameters), and the batch's
    provenance (DataFrame.attrs)."""
    if kind != "texture" and squares is not None:
        raise TypeError("squares belong to kind=\"texture\"")
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
    corner_given = "x" in parameters or "y" in parameters
    parameters = {**defaults, **parameters}
    # Names relative to the client's folder are made absolute here, so that a worker started in
    # another folder reads the same files.
    names = [_rows.absolute(p) for p in paths]
    # One clock seed per batch, as the tools draw it: without a seed every photograph's seed comes
    # from it and its place, so the batch can be repeated.
    clock_base = _skinmeters.clock_seed()
    if kind == "texture":
        base, source = _skinmeters.place_seed(seed, clock_base, 0)
        attrs = _batch_attrs(kind, {**parameters, "variant": str(parameters["variant"]).upper()}, base, source)
        if squares is None:
            return [(kind, p, i, (seed, clock_base), parameters) for i, p in enumerate(names)], attrs
        attrs["parameters"]["squares"] = _square_table(squares)[3]
        runs = _square_runs(paths, squares, parameters, corner_given, base)
        return [(kind, p, i, (seed, clock_base), {**parameters, "square": run}) for i, (p, run) in enumerate(zip(names, runs))], \
            attrs
    # As lesionmeter-cli's batch: the batch's seed for every photograph; without one each
    # photograph's marks' seed, without that the photo seed of its place from the clock seed.
    attrs = _batch_attrs(kind, {"fit": bool(parameters["fit"]), "seed": seed}, seed,
                         "option" if seed is not None else "each image")
    marks = [m if isinstance(m, dict) or m is None else _rows.absolute(m) for m in _lesion_marks(paths, marks)]
    return [(kind, p, i, (seed, clock_base), {**parameters, "marks": m}) for i, (p, m) in enumerate(zip(names, marks))], \
        attrs


def _batch_attrs(kind, parameters, seed, seed_source):
    """What a batch's DataFrame.attrs holds, as the head of the tool's --json report: the program,
    its version, the parameters and the seed."""
    return {"program": "skinmeters.batch", "version": __version__, "kind": kind, "parameters": dict(parameters),
            "seed": seed, "seedSource": seed_source}


def _resumed_rows(resume, paths, attrs):
    """The finished rows of an interrupted batch of the same photographs, parameters and seed, by place."""
    import numpy
    import pandas

    previous = _previous_frame(resume)
    if previous is None:
        return {}  # a batch stopped before its first photograph
    theirs = dict(previous.attrs)
    for name in ("kind", "parameters", "seed"):
        if theirs.get(name) != attrs.get(name):
            raise ValueError(f"resume holds a batch of another {name} ({theirs.get(name)!r}, not {attrs.get(name)!r})")
    rows = {}
    for place, record in zip(previous.index, previous.to_dict("records")):
        if not (isinstance(place, numbers.Integral) and 0 <= place < len(paths)) \
                or record.get("photo") != _photo_column(paths[place]):
            raise ValueError(f"resume holds row {place!r} ({record.get('photo')!r}), which is not in this batch")
        row = {}
        for name, value in record.items():
            if isinstance(value, numpy.integer):
                value = int(value)
            elif not isinstance(value, (dict, list)) and pandas.isna(value):
                value = None
            row[name] = value
        rows[int(place)] = row
    return rows


def _progress_bar(show, total):
    """A tqdm progress bar (on a terminal, or in a notebook its widget), or None."""
    if not show:
        return None
    from tqdm.auto import tqdm

    return tqdm(total=total, unit="photo", desc="skinmeters.batch")


def batch(paths: Iterable[Union[str, bytes, "os.PathLike[str]"]], kind: str = "texture", seed: Optional[int] = None,
          client: Optional[dask.distributed.Client] = None, jobs: Optional[int] = None,
          marks: Union[Marks, Iterable[Marks], None] = None, *, chunk: Optional[int] = None, retries: int = 1,
          resume: Union[pandas.DataFrame, ClusterError, None] = None, progress: Union[bool, str] = False,
          fits: bool = False,
          squares: Optional[Squares] = None, **parameters: Any) -> pandas.DataFrame:
    """Analyses many photographs; returns a pandas.DataFrame with one row per photograph, in input order.

    paths: file names as texture() takes them (str, bytes or os.PathLike); an entry that is no
    file name is its row's error. Relative names are read from the current folder (on a cluster
    too: they are made absolute before they are sent).
    kind="texture": parameters are those of texture() (x, y, side, window, neighbour, variant);
    with seed=S every row equals texturemeter-cli --seed S over the same list, and row i's "seed"
    is photo_seed(S, i), the seed that repeats the row with that photograph alone.
    squares= (texture): each photograph in its own square, as texturemeter-cli --squares: "beside"
    for the square file beside each photograph (DIR/NAME.square.json, as the window's "Save
    square" writes it), or a square table, as a file name or a DataFrame with the columns photo,
    x, y and optionally side, window, neighbour, variant, seed (a row matched by the photograph's
    path as given, then by its name). The parameters fill in what a square leaves out; a square's
    seed is its photograph's seed (seed= seeds the others by their place). A photograph without a
    square is its row's error, unless x or y is given. Each row then carries its square, "x", "y",
    "side", "window", "neighbour", "variant", where it came from, "squareSource" ("square file",
    "table" or "command line") and "squareFile", and "seedSource" ("square" or "batch"), as the
    tool's --json report gives them; attrs["parameters"]["squares"] names the choice.
    kind="lesion": each photograph is analysed from its marks as lesion() does it. marks: None for
    the marks file beside each photograph (DIR/NAME.marks.json, as lesionmeter-cli's batch reads
    them), a list with one marks file or dict per photograph, or one for all; parameter: fit.
    With seed=S every photograph's run uses S (as lesionmeter-cli --seed S); without it, its
    marks' seed or one of its own. Either way the row's "seed" is the seed used.
    client: a dask.distributed.Client; the photographs go to its workers in chunks of `chunk`
    photographs (default: sized from the batch and the workers' threads), each chunk analysed on
    one worker thread that keeps its work grids from photograph to photograph. Every worker is
    checked first: it must import skinmeters (of this version) and read the first photograph,
    else ClusterError names it before any photograph is analysed. A task lost with its worker is
    run again by Dask (up to `retries` more times for a task that fails on its worker). Without a
    client, `jobs` local threads (default: the number of cores) analyse them.
    resume: the DataFrame of an interrupted batch of the same photographs, kind, parameters and
    seed (ClusterError.frame), or the ClusterError itself: its rows are kept, only the others are
    analysed. progress=True shows a tqdm bar (a widget in a notebook); with a client,
    progress="dask" shows dask.distributed.progress of the batch's tasks instead (its widget in a
    notebook, its text bar on the console), the chunks' futures being those of this batch's tasks
    (keys "skinmeters-batch-..."). fits=True keeps each
    photograph's whole fits (as texture() and lesion() give them) in a column "fits" of dicts.

    Columns: "photo" (the name as given); "path", "bytes" and "sha256", the file read, its size and
    content digest (as the tools' --json reports name it); the measurements in the analysis's
    order, each fitted dimension followed by its fit's R² (NAME.rSquared) and 95 % fit interval
    (NAME.dimensionCi95.1 and .2); "exifOrientation" and "warning" as texture() reports them
    (each warning also given as an AnalysisWarning naming the photograph); "seed", an exact pandas
    UInt64 column; "error". A photograph that fails keeps its row: its measurements are missing and
    "error" holds the tool's message ("error" is None for the others). A lesion whose "axis" finds
    no outline keeps its other measurements beside the message. DataFrame.attrs holds the program,
    version, kind, parameters, seed and seedSource, as the head of the tools' --json reports.

    Raises ClusterError, naming the rows not analysed, when the cluster fails (its scheduler or
    the workers lost, a task cancelled): never a row of its own.
    """
    paths = list(paths)
    seed = _seed_value(seed)
    previous = _previous_frame(resume)
    if previous is not None and seed is None and kind == "texture":
        # The interrupted batch's seed, drawn from the clock or given.
        seed = _seed_value(previous.attrs.get("seed"))
    tasks, attrs = _batch_tasks(paths, kind, seed, marks, parameters, squares)
    if previous is not None and kind == "texture":
        attrs["seedSource"] = previous.attrs.get("seedSource", attrs["seedSource"])
    done = _resumed_rows(resume, paths, attrs) if resume is not None else {}
    to_do = [task for task in tasks if task[2] not in done]

    if progress == "dask" and client is None:
        raise ValueError("progress=\"dask\" shows the progress of a Dask cluster's tasks: it needs a client")
    if isinstance(progress, str) and progress != "dask":
        raise ValueError(f"progress must be True, False or \"dask\", not {progress!r}")
    bar = _progress_bar(bool(progress) and progress != "dask", len(to_do))
    try:
        if client is not None and to_do:
            try:
                done.update(_cluster.run(client, to_do, _analyse_chunk, chunk=chunk, retries=retries, fits=fits,
                                         bar=bar, submitted=_cluster.show_progress if progress == "dask" else None))
            except ClusterError as e:
                # The rows finished so far travel with the error, for resume=.
                finished = {**done, **getattr(e, "rows", {})}
                e.frame = _batch_frame(paths, finished, attrs, fits, sorted(finished))
                raise
        elif to_do:
            done.update(zip((task[2] for task in to_do),
                            _run_rows(to_do, fits, jobs or 0, None if bar is None else bar.update)))
    finally:
        if bar is not None:
            bar.close()
    return _batch_frame(paths, done, attrs, fits, range(len(paths)), warn=True)


def _previous_frame(resume):
    """The finished rows resume= gives: a batch's DataFrame, or a ClusterError's (None when it has none)."""
    import pandas

    if resume is None:
        return None
    previous = resume.frame if isinstance(resume, ClusterError) else resume
    if previous is not None and not isinstance(previous, pandas.DataFrame):
        raise TypeError(f"resume must be a batch's DataFrame or ClusterError, not {type(resume).__name__}")
    return previous


def _batch_frame(paths, rows, attrs, fits, places, warn=False):
    """The DataFrame of the rows at `places` (each row's "photo" the name as given), indexed by place."""
    rows = [_rows.as_given({**rows[i], "photo": _photo_column(paths[i])}, _photo_column(paths[i]),
                           _photo_column(_rows.absolute(paths[i]))) for i in places]
    if warn:
        # A square reaching past the photograph's edge, or a photograph the camera meant to be
        # turned, is said here for each row, as texturemeter-cli says it on stderr.
        for row in rows:
            _warn(row, row["photo"])
    result = _rows.frame(rows, attrs, fits)
    if not warn:
        result.index = list(places)
    return result

