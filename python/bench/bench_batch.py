#!/usr/bin/python3
"""skinmeters.batch on local threads against texturemeter-cli, on the same photographs in the same run.

    PYTHONPATH=build/python /usr/bin/python3 python/bench/bench_batch.py [--build build] [--photos 200]

Both analyse the same list (copies of the bundled skin sample) with --seed 1 and the same number of
parallel jobs; each is timed over several alternating rounds and its best round counts. Exits with
status 1 when Python adds more than 10 % to the time per photograph.
"""

import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
LIMIT = 0.10


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="the build folder (default: build)")
    parser.add_argument("--photos", type=int, default=200, help="photographs per batch (default: 200)")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1, help="parallel jobs (default: cores)")
    parser.add_argument("--rounds", type=int, default=3, help="alternating rounds per method (default: 3)")
    args = parser.parse_args()

    build = pathlib.Path(args.build).resolve()
    sys.path.insert(0, str(build / "python"))
    import skinmeters

    cli = build / "texturemeter" / "texturemeter-cli"
    sample = HERE.parent.parent / "samples" / "skin_sample.jpg"
    with tempfile.TemporaryDirectory(prefix="skinmeters-bench-") as folder:
        folder = pathlib.Path(folder)
        photos = []
        for i in range(args.photos):
            photo = folder / f"P{i:04d}.jpg"
            shutil.copyfile(sample, photo)
            photos.append(str(photo))

        def run_cli():
            subprocess.run([str(cli), "--seed", "1", "--jobs", str(args.jobs), "--output", str(folder / "r.csv"),
                            *photos], check=True, stderr=subprocess.DEVNULL)

        def run_python():
            frame = skinmeters.batch(photos, seed=1, jobs=args.jobs)
            assert len(frame) == len(photos) and frame["error"].isna().all()

        best = {"texturemeter-cli": float("inf"), "skinmeters.batch": float("inf")}
        for _ in range(args.rounds):
            for name, run in (("texturemeter-cli", run_cli), ("skinmeters.batch", run_python)):
                start = time.perf_counter()
                run()
                best[name] = min(best[name], time.perf_counter() - start)

    per_photo = {name: seconds / args.photos * 1000 for name, seconds in best.items()}
    added = per_photo["skinmeters.batch"] / per_photo["texturemeter-cli"] - 1
    print(f"{args.photos} photographs, {args.jobs} jobs, best of {args.rounds} rounds")
    for name, ms in per_photo.items():
        print(f"  {name:18s} {best[name]:8.2f} s   {ms:7.2f} ms per photograph")
    verdict = "within" if added <= LIMIT else "MORE THAN"
    print(f"  Python adds {added * 100:+.1f} % per photograph ({verdict} the {LIMIT * 100:.0f} % allowed)")
    return 0 if added <= LIMIT else 1


if __name__ == "__main__":
    sys.exit(main())
