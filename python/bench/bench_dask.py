#!/usr/bin/python3
"""skinmeters.batch on Dask against texturemeter-cli --jobs 2, on the same photographs in the same run.

    PYTHONPATH=build/python /usr/bin/python3 python/bench/bench_dask.py [--build build] [--photos 2000]

Generates distinct 640 x 480 JPEG photographs (crops of the bundled skin sample, tiled), then times
over the same list with --seed 1:
  - texturemeter-cli --jobs 2;
  - skinmeters.batch(client=...) on a LocalCluster of 2 worker processes of 1 thread;
  - skinmeters.batch(client=...) against a scheduler and 2 workers started as separate processes
    (as `dask scheduler` and `dask worker` start them) on 127.0.0.1.
Each cluster is started, and its workers have imported skinmeters, before its batch is timed. Gives
photographs per second and each Dask route relative to the CLI; exits with status 1 when the
LocalCluster is below 0.9 of the CLI or the separate scheduler below 0.85. Every route's numbers
are checked equal to the CLI's --json report (on the first photographs; the timed CLI run
writes only its results file).
"""

import argparse
import csv
import json
import logging
import math
import os
import pathlib
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
GOALS = {"LocalCluster": 0.90, "scheduler + 2 workers": 0.85}
CHECKED = 50  # photographs whose rows are compared with the CLI's report


def make_photos(folder, count):
    """`count` distinct 640 x 480 JPEG photographs: crops of the skin sample tiled (mirrored) to 1280 x 960."""
    import numpy
    from PIL import Image

    sample = numpy.asarray(Image.open(HERE.parent.parent / "samples" / "skin_sample.jpg").convert("RGB"))
    row = numpy.concatenate([sample, sample[:, ::-1]], axis=1)
    tiled = numpy.concatenate([row, row[::-1]], axis=0)
    tiled = numpy.tile(tiled, (math.ceil(960 / tiled.shape[0]) + 1, math.ceil(1280 / tiled.shape[1]) + 1, 1))
    photos = []
    for i in range(count):
        x, y = (i * 37) % 640, (i * 23 + i // 640) % 480
        photo = folder / f"P{i:04d}.jpg"
        Image.fromarray(numpy.ascontiguousarray(tiled[y:y + 480, x:x + 640])).save(photo, quality=92)
        photos.append(str(photo))
    return photos


def cli_batch(cli, photos, folder, *options):
    output = folder / "cli.csv"
    output.unlink(missing_ok=True)
    start = time.perf_counter()
    subprocess.run([str(cli), "--seed", "1", "--jobs", "2", "--output", str(output), *options, *photos],
                   check=True, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def cli_report(cli, photos, folder):
    """The CLI's --json report of the first photographs (untimed), to check the routes' numbers."""
    report = folder / "cli.json"
    cli_batch(cli, photos, folder, "--json", str(report))
    return json.loads(report.read_text())


def dask_batch(skinmeters, client, photos):
    # Every worker has imported skinmeters before the clock starts.
    skinmeters.batch(photos[:4], seed=1, client=client)
    start = time.perf_counter()
    frame = skinmeters.batch(photos, seed=1, client=client)
    return time.perf_counter() - start, frame


def separate_cluster(folder):
    """A scheduler and two single-thread workers, each a process of its own, on 127.0.0.1."""
    scheduler_file = folder / "scheduler.json"
    processes = [subprocess.Popen(
        [sys.executable, "-m", "distributed.cli.dask_scheduler", "--host", "127.0.0.1", "--port", "0",
         "--no-dashboard", "--scheduler-file", str(scheduler_file)], stdout=subprocess.DEVNULL,
        stderr=subprocess.DEVNULL)]
    while not (scheduler_file.exists() and scheduler_file.stat().st_size > 0):
        time.sleep(0.1)
    for i in range(2):
        processes.append(subprocess.Popen(
            [sys.executable, "-m", "distributed.cli.dask_worker", "--scheduler-file", str(scheduler_file),
             "--nthreads", "1", "--no-dashboard", "--host", "127.0.0.1", "--local-directory", str(folder / f"w{i}")],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    return scheduler_file, processes


def check_equal(frame, report, route):
    """Every row's seed and measurements are the CLI's."""
    images = report["images"]
    assert frame["error"].isna().all(), route
    for row, image in zip(frame.to_dict("records"), images):
        assert row["seed"] == image["seed"], route
        m = image["measurements"]
        assert row["totalDimension"] == m["totalDimension"] and \
            row["sampling.ringBrightnessR41to47"] == m["sampling"]["ringBrightnessR41to47"], (route, row["photo"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="the build folder (default: build)")
    parser.add_argument("--photos", type=int, default=2000, help="photographs per batch (default: 2000)")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    sys.path.insert(0, str(build / "python"))
    os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [str(build / "python"), os.environ.get("PYTHONPATH")]))
    import distributed
    import skinmeters

    cli = build / "texturemeter" / "texturemeter-cli"
    seconds = {}
    with tempfile.TemporaryDirectory(prefix="skinmeters-dask-bench-") as folder:
        folder = pathlib.Path(folder)
        photos = make_photos(folder, args.photos)

        seconds["texturemeter-cli --jobs 2"] = cli_batch(cli, photos, folder)
        report = cli_report(cli, photos[:CHECKED], folder)

        with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                      dashboard_address=None, silence_logs=logging.ERROR) as cluster, \
                distributed.Client(cluster) as client:
            seconds["LocalCluster"], frame = dask_batch(skinmeters, client, photos)
        check_equal(frame, report, "LocalCluster")

        scheduler_file, processes = separate_cluster(folder)
        try:
            with distributed.Client(scheduler_file=str(scheduler_file)) as client:
                client.wait_for_workers(2, timeout=120)
                seconds["scheduler + 2 workers"], frame = dask_batch(skinmeters, client, photos)
        finally:
            for process in reversed(processes):
                process.terminate()
            for process in processes:
                process.wait()
        check_equal(frame, report, "scheduler + 2 workers")

    cli_rate = args.photos / seconds["texturemeter-cli --jobs 2"]
    print(f"{args.photos} photographs of 640 x 480, 2 cores' worth of workers, {time.strftime('%Y-%m-%d %H:%M')}"
          f" (load average {os.getloadavg()[0]:.1f})")
    failed = False
    for route, s in seconds.items():
        rate = args.photos / s
        line = f"  {route:28s} {s:8.2f} s {rate:8.1f} photographs/s"
        if route in GOALS:
            ratio = rate / cli_rate
            ok = ratio >= GOALS[route]
            failed |= not ok
            line += f"   {ratio:5.2f} x the CLI ({'at least' if ok else 'BELOW'} {GOALS[route]:.2f})"
        print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
