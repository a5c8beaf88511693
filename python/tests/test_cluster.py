"""skinmeters.batch on a Dask cluster of separate processes (a scheduler and workers started as the
`dask scheduler` and `dask worker` commands start them): a worker killed mid-batch, the scheduler
killed, workers started in another folder or without the package."""

import json
import os
import signal
import subprocess
import sys
import time

import pytest

import skinmeters
from conftest import run_texturemeter_cli
from test_batch import assert_rows_equal_the_cli

distributed = pytest.importorskip("distributed")

# Generous: the machine running the tests may be busy; nothing here waits this long when all is well.
START_TIMEOUT = 120


class Cluster:
    """A scheduler on 127.0.0.1 and workers of one thread each, every one a process of its own."""

    def __init__(self, folder):
        self.folder = folder
        self.file = folder / "scheduler.json"
        self.processes = []
        self.scheduler = self._start("dask_scheduler", "--host", "127.0.0.1", "--port", "0", "--no-dashboard",
                                     "--scheduler-file", str(self.file))
        deadline = time.monotonic() + START_TIMEOUT
        while not (self.file.exists() and self.file.stat().st_size > 0):
            assert self.scheduler.poll() is None, "the scheduler did not start"
            assert time.monotonic() < deadline, "the scheduler did not start in time"
            time.sleep(0.1)
        self.address = json.loads(self.file.read_text())["address"]

    def _start(self, command, *arguments, cwd=None, env=None):
        log = open(self.folder / f"{command}-{len(self.processes)}.log", "w")
        process = subprocess.Popen([sys.executable, "-m", f"distributed.cli.{command}", *arguments], cwd=cwd,
                                   env=env, stdout=log, stderr=subprocess.STDOUT)
        self.processes.append(process)
        return process

    def worker(self, cwd=None, env=None, name=None):
        """A worker process without nanny (its pid is the worker's), one thread."""
        local = self.folder / f"worker-{len(self.processes)}"
        local.mkdir()
        named = ["--name", name] if name else []
        return self._start("dask_worker", self.address, "--nthreads", "1", "--no-nanny", "--no-dashboard",
                           "--host", "127.0.0.1", "--local-directory", str(local), *named, cwd=cwd, env=env)

    def client(self, workers):
        client = distributed.Client(self.address, timeout=START_TIMEOUT)
        client.wait_for_workers(workers, timeout=START_TIMEOUT)
        return client

    def close(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
            process.wait()


@pytest.fixture
def cluster(tmp_path):
    made = Cluster(tmp_path)
    yield made
    made.close()


class OnFirstChunk:
    """A progress bar that does `action` when the first chunk of the batch has come back."""

    def __init__(self, action):
        self.action, self.done = action, 0

    def update(self, count):
        if not self.done:
            self.action()
        self.done += count

    def close(self):
        pass


def test_a_worker_killed_mid_batch_leaves_every_row_once_equal_to_the_cli(tmp_path, cluster, made_photos,
                                                                          monkeypatch):
    photos = [p for p, _ in made_photos] + [tmp_path / "missing.bmp"]
    doomed, survivor = cluster.worker(), cluster.worker()
    with cluster.client(2) as client:
        bar = OnFirstChunk(lambda: os.kill(doomed.pid, signal.SIGKILL))
        monkeypatch.setattr(skinmeters, "_progress_bar", lambda show, total: bar)
        frame = skinmeters.batch(photos, seed=21, client=client, chunk=2, progress=True)
        assert doomed.wait(timeout=START_TIMEOUT) == -signal.SIGKILL
        assert survivor.poll() is None
    assert bar.done == len(photos)
    assert len(frame) == len(photos) and frame.index.tolist() == list(range(len(photos)))
    assert_rows_equal_the_cli(frame, photos, *run_texturemeter_cli(tmp_path, photos, "--seed", "21"))


def test_a_killed_scheduler_makes_the_batch_raise_naming_the_missing_rows(cluster, made_photos, monkeypatch):
    photos = [p for p, _ in made_photos]
    cluster.worker()
    with cluster.client(1) as client:
        monkeypatch.setattr(skinmeters, "_progress_bar",
                            lambda show, total: OnFirstChunk(lambda: os.kill(cluster.scheduler.pid, signal.SIGKILL)))
        with pytest.raises(skinmeters.ClusterError) as raised:
            skinmeters.batch(photos, seed=3, client=client, chunk=2, progress=True)
    error = raised.value
    # The first chunk came back; some of the others did not, and the error names them.
    assert error.missing and set(error.missing) <= set(range(2, len(photos)))
    assert "rows " in str(error) and f"{error.missing[-1]}" in str(error)
    finished = error.frame
    assert sorted(finished.index.tolist() + error.missing) == list(range(len(photos)))
    assert {0, 1} <= set(finished.index)
    assert finished["error"].isna().all()
    # Resumed without the cluster, only the missing rows are analysed, and the batch is whole.
    whole = skinmeters.batch(photos, seed=3, jobs=2)
    resumed = skinmeters.batch(photos, seed=3, jobs=2, resume=error)
    assert resumed.equals(whole)


def test_a_worker_started_in_another_folder_reads_relative_names(tmp_path, cluster, made_photos, monkeypatch):
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    cluster.worker(cwd=elsewhere)
    folder = made_photos[0][0].parent
    monkeypatch.chdir(folder)
    names = [p.name for p, _ in made_photos[:4]]
    with cluster.client(1) as client:
        frame = skinmeters.batch(names, seed=8, client=client)
    assert frame["error"].isna().all()
    assert list(frame["photo"]) == names and list(frame["path"]) == [str(folder / n) for n in names]
    local = skinmeters.batch(names, seed=8, jobs=1)
    assert frame.equals(local)


def test_a_worker_without_the_package_stops_the_batch_before_any_photograph(tmp_path, cluster, made_photos):
    healthy = cluster.worker(name="healthy")
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    env = {name: value for name, value in os.environ.items() if name != "PYTHONPATH"}
    cluster.worker(cwd=elsewhere, env=env, name="broken")
    with cluster.client(2) as client:
        with pytest.raises(skinmeters.ClusterError, match="cannot import skinmeters") as raised:
            skinmeters.batch([p for p, _ in made_photos[:6]], seed=1, client=client)
        info = client.scheduler_info()["workers"]
        (bad,) = [a for a, w in info.items() if w["name"] == "broken"]
        assert str(raised.value).startswith(f"worker {bad}: cannot import skinmeters")
        assert "No module named 'skinmeters'" in str(raised.value)
        assert raised.value.missing == [] and len(raised.value.frame) == 0
        # No photograph was analysed: no task ran on either worker.
        (good,) = [a for a, w in info.items() if w["name"] == "healthy"]
        counts = client.run(lambda dask_worker: dask_worker.state.executed_count, workers=[good])
        assert counts == {good: 0}
        assert healthy.poll() is None


def test_the_check_of_a_worker_names_a_photograph_it_cannot_read(tmp_path):
    from skinmeters import _cluster

    (tmp_path / "there.bmp").write_bytes(b"BM")
    assert _cluster.probe(str(tmp_path / "there.bmp"), skinmeters.__version__) is None
    assert _cluster.probe(str(tmp_path / "gone.bmp"), skinmeters.__version__) == f"cannot read {tmp_path / 'gone.bmp'}"
    assert _cluster.probe(None, "0.0") == f"has skinmeters {skinmeters.__version__}, the client 0.0"


def test_chunks_are_sized_from_the_batch_and_the_threads():
    from skinmeters import _cluster

    assert _cluster.chunk_size(2000, 2) == 64
    assert _cluster.chunk_size(100, 2) == 7
    assert _cluster.chunk_size(3, 4) == 1
    assert _cluster.chunk_size(2000, 2, chunk=100) == 100
    with pytest.raises(ValueError, match="chunk"):
        _cluster.chunk_size(10, 2, chunk=0)
    assert _cluster.spans([0, 1, 2, 5, 7, 8]) == "0-2, 5, 7-8"
