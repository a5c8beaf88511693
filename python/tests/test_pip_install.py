"""`pip install --no-build-isolation .` into a fresh virtual environment (made from Debian's Python with
--system-site-packages, offline), then `pip show` and `pip uninstall`.

The build reuses the tree ctest runs in (SKINMETERS_CMAKE_BUILD_DIR), where the module is already
built, so the test costs an install, not a compilation; setup.py still drives CMake for it.
"""

import os
import pathlib
import subprocess
import sys

import pytest

SOURCE = pathlib.Path(os.environ["SKINMETERS_SOURCE_DIR"])
VERSION = (SOURCE / "VERSION").read_text().strip()


@pytest.fixture
def venv(tmp_path):
    env_dir = tmp_path / "env"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(env_dir)], check=True)
    return env_dir


def run(args, tmp_path, **kwargs):
    # Nothing from the build tree on the path; no index: everything comes from this machine.
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "PYTHONDONTWRITEBYTECODE")}
    env.update(PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1", SKINMETERS_BUILD_BASE=str(tmp_path / "pip-build"),
               SKINMETERS_CMAKE_BUILD_DIR=os.environ["SKINMETERS_BUILD_DIR"])
    return subprocess.run([str(a) for a in args], cwd=tmp_path, env=env, capture_output=True, text=True, **kwargs)


def test_pip_installs_shows_and_uninstalls(venv, tmp_path):
    python = venv / "bin" / "python"
    site = venv / "lib" / f"python{sys.version_info.major}.{sys.version_info.minor}" / "site-packages"
    done = run([python, "-m", "pip", "install", "--no-build-isolation", SOURCE], tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr

    shown = run([python, "-m", "pip", "show", "--files", "skinmeters"], tmp_path, check=True).stdout
    fields = dict(line.split(": ", 1) for line in shown.splitlines() if ": " in line)
    assert fields["Name"] == "skinmeters"
    assert fields["Version"] == VERSION
    assert fields["Location"] == str(site)
    files = {line.strip() for line in shown.split("Files:", 1)[1].splitlines() if line.strip()}
    assert "skinmeters/__init__.py" in files
    compiled = [f for f in files if f.startswith("skinmeters/_skinmeters.cpython-") and f.endswith(".so")]
    assert len(compiled) == 1, files

    # The installed package, not the build tree's, and the same numbers as the build tree's.
    photo = pathlib.Path(os.environ["MORPH_SAMPLES_DIR"]) / "skin_sample.jpg"
    script = ("import importlib.metadata, skinmeters, sys; print(skinmeters.__file__); "
              "print(skinmeters.__version__, importlib.metadata.version('skinmeters')); "
              "print(repr(skinmeters.texture(sys.argv[1], seed=1)['totalDimension']))")
    out = run([python, "-c", script, photo], tmp_path, check=True).stdout.split("\n")
    assert pathlib.Path(out[0]) == site / "skinmeters" / "__init__.py"
    assert out[1] == f"{VERSION} {VERSION}"
    import skinmeters
    assert float(out[2]) == skinmeters.texture(photo, seed=1)["totalDimension"]

    done = run([python, "-m", "pip", "uninstall", "-y", "skinmeters"], tmp_path)
    assert done.returncode == 0, done.stdout + done.stderr
    assert not (site / "skinmeters").exists()
    assert not list(site.glob("skinmeters-*"))
    gone = run([python, "-c", "import skinmeters"], tmp_path)
    assert gone.returncode != 0 and "No module named 'skinmeters'" in gone.stderr
