"""skinmeters.batch on a Dask cluster: chunks of photographs per task, one check of every worker
before the first photograph, and the cluster's own failures raised apart from the photographs'."""

from __future__ import annotations

import math
import os
import uuid

# A chunk is at most this many photographs: enough to spread the scheduler's and the workers'
# cost per task over many analyses, few enough that every thread gets several chunks (an even
# finish) and that a lost worker takes little finished work with it.
MAX_CHUNK = 64
CHUNKS_PER_THREAD = 8
# How long a batch waits for the first worker of a cluster that has none, in seconds.
WORKER_TIMEOUT = 300


class ClusterError(RuntimeError):
    """A batch the Dask cluster could not finish: the scheduler was lost, a worker could not run
    its tasks (could not import skinmeters, could not read the photographs, died more often than
    Dask retries), or the tasks were cancelled. A photograph's own failure is never this error: it
    stays its row's "error".

    `missing`: the places (0 = first) of the photographs not analysed. `frame`: the rows that were,
    as a DataFrame indexed by their places; batch(..., resume=error) (or resume=error.frame)
    analyses only the missing ones and gives the whole batch.
    """

    def __init__(self, message, missing=(), frame=None):
        super().__init__(message)
        self.missing = list(missing)
        self.frame = frame


def spans(places):
    """Places as short ranges: [0, 1, 2, 5] -> "0-2, 5"."""
    out, places = [], sorted(places)
    i = 0
    while i < len(places):
        j = i
        while j + 1 < len(places) and places[j + 1] == places[j] + 1:
            j += 1
        out.append(str(places[i]) if i == j else f"{places[i]}-{places[j]}")
        i = j + 1
    return ", ".join(out)


def chunk_size(count, threads, chunk=None):
    """Photographs per task: `chunk` when given, else the batch spread over about CHUNKS_PER_THREAD
    tasks per worker thread, at most MAX_CHUNK."""
    if chunk is not None:
        if isinstance(chunk, bool) or not isinstance(chunk, int) or chunk < 1:
            raise ValueError(f"chunk must be a whole number of photographs from 1, not {chunk!r}")
        return chunk
    return max(1, min(MAX_CHUNK, math.ceil(count / (CHUNKS_PER_THREAD * max(1, threads)))))


def probe(name, version):
    """Run on every worker before the batch: this worker imported skinmeters (it unpickled this
    function), of the client's version, and can read the photograph `name` (None: nothing to read).
    Returns what is wrong, or None."""
    from . import __version__

    if __version__ != version:
        return f"has skinmeters {__version__}, the client {version}"
    if name is None:
        return None
    try:
        with open(name, "rb") as file:
            file.read(1)
    except OSError:
        return f"cannot read {os.fsdecode(name)}"
    return None


def readable_here(name):
    try:
        with open(name, "rb") as file:
            file.read(1)
        return True
    except (OSError, TypeError, ValueError):
        return False


def check_workers(client, first_photo, version):
    """Every worker imports skinmeters and reads the first photograph the client can read, or the
    batch raises one ClusterError naming the worker, before any photograph is analysed."""
    if not client.nthreads():
        # A cluster still starting: its first worker may take a while on a busy machine.
        client.wait_for_workers(1, timeout=WORKER_TIMEOUT)
    answers = client.run(probe, first_photo, version, on_error="return")
    problems = []
    for address, answer in sorted(answers.items()):
        if isinstance(answer, BaseException):
            # Dask hands back the worker's error, wrapped in a plain Exception when it could not
            # unpickle the check (no skinmeters to import it from).
            why = str(answer) if type(answer) is Exception else f"{type(answer).__name__}: {answer}"
            problems.append(f"worker {address}: cannot import skinmeters ({why})")
        elif answer is not None:
            problems.append(f"worker {address}: {answer}")
    if problems:
        raise ClusterError("; ".join(problems) + "; no photograph was analysed", missing=[], frame=None)
    return sum(client.nthreads().values())


def run(client, tasks, analyse_chunk, *, chunk=None, retries=1, fits=False, bar=None, finished=None, submitted=None):
    """Analyses `tasks` (each (kind, path, place, seed, parameters)) in chunks on the cluster.

    Returns {place: row}. `submitted` receives the list of the chunks' futures once they are all
    submitted; `finished` receives each chunk's rows as they arrive. Raises ClusterError
    naming the missing places when the cluster fails them."""
    from distributed import as_completed

    from . import __version__

    first = next((t[1] for t in tasks if readable_here(t[1])), None)
    threads = check_workers(client, first, __version__)
    size = chunk_size(len(tasks), threads, chunk)
    chunks = [tasks[i:i + size] for i in range(0, len(tasks), size)]
    token = uuid.uuid4().hex
    futures = {}
    for i, part in enumerate(chunks):
        future = client.submit(analyse_chunk, part, fits, key=f"skinmeters-batch-{token}-{i}", pure=False,
                               retries=retries)
        futures[future.key] = (future, part)
    if submitted is not None:
        submitted([f for f, _ in futures.values()])
    rows, missing, causes = {}, [], []
    try:
        for future in as_completed([f for f, _ in futures.values()]):
            _, part = futures[future.key]
            places = [t[2] for t in part]
            try:
                if future.status == "cancelled":
                    raise ClusterCancelled("the task was cancelled (the scheduler lost or the client closed)")
                result = future.result()
            except Exception as e:  # anything that is not a photograph's own failure
                missing.extend(places)
                causes.append(e)
                continue
            for task, row in zip(part, result):
                rows[task[2]] = row
            if finished is not None:
                finished(result)
            if bar is not None:
                bar.update(len(part))
    finally:
        # Interrupted (Ctrl-C): the tasks not yet run are taken back, while the scheduler is there.
        pending = [f for f, _ in futures.values() if not f.done()]
        if pending and client.status == "running":
            client.cancel(pending)
    if missing:
        cause = causes[0]
        missing.sort()
        error = ClusterError(f"the cluster did not analyse {len(missing)} photographs (rows {spans(missing)}): "
                             f"{type(cause).__name__}: {cause}", missing=missing)
        error.rows = rows
        raise error
    return rows


def show_progress(futures):
    """Dask's own progress of a batch's tasks (dask.distributed.progress): in a notebook its widget,
    shown at once while the batch runs; in a console its text bar, drawn until the tasks are done.
    A cluster that fails meanwhile is told by the batch (ClusterError), not by the bar."""
    from distributed import progress
    from distributed.utils import is_kernel

    if is_kernel():
        from IPython.display import display

        display(progress(futures, notebook=True, multi=False))
        return
    try:
        progress(futures, notebook=False, multi=False)
    except Exception:  # the batch raises ClusterError for the tasks it did not get
        pass


class ClusterCancelled(RuntimeError):
    """A batch task the cluster cancelled."""
