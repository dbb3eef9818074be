# SPDX-License-Identifier: GPL-3.0-or-later
"""Builds hvsite's compiled core with the project's CMake and packages python/hvsite.

HVSITE_CMAKE_BUILD names a CMake build folder to build the core in (an existing one
of this checkout is reused as it is); otherwise a fresh one is configured under
setuptools' build folder. HVSITE_JOBS sets the parallel jobs (default 2).
"""

import glob
import os
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.environ.get("HVSITE_CMAKE_BUILD") or os.path.join(
            os.path.abspath(self.build_temp), "cmake")
        if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
            subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                            "-DHV_TESTS=OFF", "-DHV_BENCH=OFF",
                            f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "hvsite_module", "-j",
                        os.environ.get("HVSITE_JOBS", "2")], check=True)
        built = glob.glob(os.path.join(build, "python", "hvsite", "_hvsite*.so"))
        if len(built) != 1:
            raise RuntimeError(f"the compiled core was not found in {build}/python/hvsite")
        target = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


# setuptools' own folders stay apart from the sources, beside a CMake build folder
# named build/.
os.makedirs(os.path.join(ROOT, "build"), exist_ok=True)

setup(
    packages=["hvsite", "hvsite.report"],
    package_dir={"": "python"},
    ext_modules=[Extension("hvsite._hvsite", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build/setuptools"},
             "egg_info": {"egg_base": "build"}},
)
