"""Builds the Python package with libquorin-c inside it (pyproject.toml holds
the metadata): the C library and the two it needs are built with CMake into
build/python-package, with the RUNPATH $ORIGIN, and copied beside the
package's code, where the package looks first. The wheel is tagged for this
platform (py3-none-<platform>): it carries native code but no extension
module, so one wheel serves every Python 3."""

import os
import shutil
import subprocess
import sysconfig

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

ROOT = os.path.dirname(os.path.abspath(__file__))
# The C library's name as its users load it, and the libraries it needs.
LIBRARIES = ("libquorin-c.so.1", "libtamberlo.so.1.11", "libquorin-framework.so.4")


def build_libraries() -> str:
    """Configures and builds libquorin-c; returns the folder of the libraries."""
    build = os.path.join(ROOT, "build", "python-package")
    subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DQUORIN_BUILD_TESTS=OFF", "-DQUORIN_BUILD_TOOLS=OFF",
                    "-DQUORIN_BUILD_BENCHMARKS=OFF", "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON"],
                   check=True)
    subprocess.run(["cmake", "--build", build, "--target", "quorin-c", "--parallel",
                    str(os.cpu_count() or 1)], check=True)
    return os.path.join(build, "lib")


class BuildWithLibrary(build_py):
    def run(self) -> None:
        super().run()
        built = build_libraries()
        package = os.path.join(self.build_lib, "quorin")
        for name in LIBRARIES:
            # copyfile follows the build's version links: the package holds each library once.
            shutil.copyfile(os.path.join(built, name), os.path.join(package, name))
        with open(os.path.join(package, "_location.py"), "w") as f:
            f.write("# Written when the package was built: libquorin-c lies beside it.\n"
                    "LIBRARY = \"%s\"\n" % LIBRARIES[0])


class WithNativeCode(Distribution):
    def has_ext_modules(self) -> bool:  # so that the package lands in platlib
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self) -> tuple:
        return "py3", "none", sysconfig.get_platform().replace("-", "_").replace(".", "_")


setup(distclass=WithNativeCode,
      cmdclass={"build_py": BuildWithLibrary, "bdist_wheel": PlatformWheel})
