"""How the Python package is built with libquorin-c inside it, from the
checkout's top or from bindings/python (each has a setup.py calling
setup_package; pyproject.toml holds the metadata): the C library and the
project's libraries it needs are built with CMake into build/python-package,
with the RUNPATH $ORIGIN, and copied beside the package's code, where the
package looks first. The wheel is tagged for this platform
(py3-none-<platform>): it carries native code but no extension module, so one
wheel serves every Python 3."""


import os
import re
import shutil
import subprocess
import sysconfig
from typing import List

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py
from wheel.bdist_wheel import bdist_wheel

# The C library's name as its users load it; the project's libraries it
# needs come along, read off the built libraries (the system's, libsodium and
# libcrypto among them, are the system's to provide).
LIBRARY = "libquorin-c.so.2"


def needed(built: str, name: str) -> List[str]:
    """name and every library of the project's it needs, directly or not."""
    found, todo = [], [name]
    while todo:
        current = todo.pop()
        if current in found:
            continue
        found.append(current)
        dynamic = subprocess.run(["readelf", "-d", os.path.join(built, current)], check=True,
                                 capture_output=True, text=True).stdout
        for library in re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", dynamic):
            if os.path.exists(os.path.join(built, library)):
                todo.append(library)
    return found


def build_libraries(root: str) -> str:
    """Configures and builds libquorin-c from the checkout at root; returns
    the folder of the libraries."""
    build = os.path.join(root, "build", "python-package")
    subprocess.run(["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                    "-DQUORIN_BUILD_TESTS=OFF", "-DQUORIN_BUILD_TOOLS=OFF",
                    "-DQUORIN_BUILD_BENCHMARKS=OFF", "-DQUORIN_POSTGRESQL=OFF",
                    "-DCMAKE_BUILD_WITH_INSTALL_RPATH=ON"],
                   check=True)
    subprocess.run(["cmake", "--build", build, "--target", "quorin-c", "--parallel",
                    str(os.cpu_count() or 1)], check=True)
    return os.path.join(build, "lib")


class BuildWithLibrary(build_py):
    def run(self) -> None:
        super().run()
        built = build_libraries(self.distribution.quorin_root)  # type: ignore[attr-defined]
        package = os.path.join(self.build_lib, "quorin")
        for name in needed(built, LIBRARY):
            # copyfile follows the build's version links: the package holds each library once.
            shutil.copyfile(os.path.join(built, name), os.path.join(package, name))
        with open(os.path.join(package, "_location.py"), "w") as f:
            f.write("# Written when the package was built: libquorin-c lies beside it.\n"
                    "LIBRARY = \"%s\"\n" % LIBRARY)


class WithNativeCode(Distribution):
    quorin_root = ""  # the checkout, set by setup_package

    def has_ext_modules(self) -> bool:  # so that the package lands in platlib
        return True


class PlatformWheel(bdist_wheel):
    def get_tag(self) -> tuple:
        return "py3", "none", sysconfig.get_platform().replace("-", "_").replace(".", "_")


def setup_package(root: str) -> None:
    """setup() for the package, its C library built from the checkout at root."""
    WithNativeCode.quorin_root = root
    setup(distclass=WithNativeCode,
          cmdclass={"build_py": BuildWithLibrary, "bdist_wheel": PlatformWheel})
