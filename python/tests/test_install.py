"""`cmake --install build --component python --prefix ENV` gives ENV a working skinmeters package."""

import os
import pathlib
import subprocess
import sys


def test_installed_package_imports_and_analyses(tmp_path):
    build = os.environ["SKINMETERS_BUILD_DIR"]
    subprocess.run([os.environ["CMAKE_COMMAND"], "--install", build, "--component", "python", "--prefix",
                    str(tmp_path)], check=True, capture_output=True)
    site = tmp_path / "lib" / f"python{sys.version_info.major}.{sys.version_info.minor}" / "site-packages"
    assert sorted(p.name for p in (site / "skinmeters").iterdir() if p.name != "__pycache__")[0] == "__init__.py"
    script = ("import skinmeters, sys; print(skinmeters.__file__); "
              "print(skinmeters.texture(sys.argv[1], seed=1)['totalDimension'])")
    photo = pathlib.Path(os.environ["MORPH_SAMPLES_DIR"]) / "skin_sample.jpg"
    done = subprocess.run([sys.executable, "-c", script, str(photo)], cwd=tmp_path, capture_output=True, text=True,
                          env={**os.environ, "PYTHONPATH": str(site)}, check=True)
    installed_file, total = done.stdout.split()
    assert pathlib.Path(installed_file).is_relative_to(site)
    import skinmeters
    assert float(total) == skinmeters.texture(photo, seed=1)["totalDimension"]
