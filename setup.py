"""Builds skinmeters' compiled module with the project's CMake build (the rest is in pyproject.toml).

The module is configured with the same flags as `make build` (only the engines and the module, no
windows, tests or benchmarks) in the setuptools build folder, or, when SKINMETERS_CMAKE_BUILD_DIR
names an already configured build tree (such as the project's `build`), in that tree, where an
up-to-date module is not built again. SKINMETERS_BUILD_BASE moves setuptools' own build folder
(default: build-pip, beside the project's build folder).
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent


class CMakeBuild(build_ext):
    """Builds the target _skinmeters with CMake and puts the module where setuptools packs it."""

    def build_extension(self, ext):
        tree = os.environ.get("SKINMETERS_CMAKE_BUILD_DIR")
        tree = pathlib.Path(tree).resolve() if tree else pathlib.Path(self.build_temp, "cmake").resolve()
        if not (tree / "CMakeCache.txt").exists():
            subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(tree), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                            f"-DPython3_EXECUTABLE={sys.executable}", "-DMORPH_BUILD_GUI=OFF",
                            "-DMORPH_BUILD_BENCHMARKS=OFF", "-DBUILD_TESTING=OFF", "-DMORPH_PACKAGING=OFF"],
                           check=True)
        subprocess.run(["cmake", "--build", str(tree), "--target", "_skinmeters", "--parallel", str(os.cpu_count() or 1)],
                       check=True)
        built = sorted((tree / "python" / "skinmeters").glob("_skinmeters*.so"))
        if len(built) != 1:
            sys.exit(f"setup.py: expected one compiled module in {tree / 'python' / 'skinmeters'}, found {len(built)}")
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built[0], target)


# setuptools' own build files, the package metadata included, stay out of the source folders.
BUILD_BASE = pathlib.Path(os.environ.get("SKINMETERS_BUILD_BASE", SOURCE / "build-pip")).resolve()
BUILD_BASE.mkdir(parents=True, exist_ok=True)

setup(
    ext_modules=[Extension("skinmeters._skinmeters", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(BUILD_BASE)}, "egg_info": {"egg_base": str(BUILD_BASE)}},
)
