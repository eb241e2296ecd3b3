#!/bin/sh
# Builds the Python package's source distribution and, from it, its wheel
# (the package with libquorin-c inside), without network:
#   scripts/build-python-package.sh [DIST]      (default: dist/)
# Needs what scripts/install-deps.sh installs. The wheel is built from the
# source distribution, so that a missing source file fails here.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$(mkdir -p "${1:-$root/dist}" && cd "${1:-$root/dist}" && pwd)
python=/usr/bin/python3  # Debian's, whose setuptools and wheel build it
"$python" -m build --sdist --no-isolation --outdir "$dist" "$root" >/dev/null
sdist=$(ls -t "$dist"/quorin-*.tar.gz | head -1)
"$python" -m pip wheel --no-build-isolation --no-deps --no-index --quiet -w "$dist" "$sdist"
ls "$dist"/quorin-*.whl "$sdist"
