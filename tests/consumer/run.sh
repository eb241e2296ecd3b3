#!/usr/bin/env bash
# Builds and runs programs against an installed Quorin: with find_package
# (asking for 1.11, 1.10 and 1, C++20 coming from the package), with
# pkg-config, a C program, and the Python package from a clean venv.
# Usage: tests/consumer/run.sh BUILD_DIR   install BUILD_DIR into a temporary prefix
#        tests/consumer/run.sh --system     use what is installed under /usr
set -euo pipefail
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "$1" = "--system" ]; then
  prefix=/usr
else
  prefix="$work/prefix"
  # Component by component: cmake --install records what it installed in the
  # build folder, and a plain install_manifest.txt there may belong to root
  # after an install through sudo.
  for component in runtime dev tools python; do
    cmake --install "$(realpath "$1")" --prefix "$prefix" --component $component >/dev/null
  done
fi
for request in 1.11 1.10 1; do
  cmake -S "$here" -B "$work/build-$request" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DQUORIN_REQUEST=$request >/dev/null
  cmake --build "$work/build-$request" >/dev/null
  "$work/build-$request/consumer_full" >/dev/null
  "$work/build-$request/consumer_110" >/dev/null
done
"$work/build-1.11/consumer_full"
"$work/build-1.11/consumer_110"
"$work/build-1.11/consumer_seal"

pcdir=$(dirname "$(find "$prefix/lib" "$prefix/share" -name tamberlo.pc 2>/dev/null | head -n 1)")
libdir=$(dirname "$pcdir")
for pkg in tamberlo tambercin; do
  # shellcheck disable=SC2046
  c++ "$here/main.cpp" -o "$work/pc_$pkg" $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs "$pkg")
  LD_LIBRARY_PATH="$libdir" "$work/pc_$pkg" >/dev/null
done
# shellcheck disable=SC2046
c++ "$here/seal_main.cpp" -o "$work/pc_seal" $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs quorin-seal)
LD_LIBRARY_PATH="$libdir" "$work/pc_seal" >/dev/null
# C, compiled as C, through pkg-config.
# shellcheck disable=SC2046
cc -std=c99 "$here/c_main.c" -o "$work/c_main" $(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs quorin-c)
LD_LIBRARY_PATH="$libdir" "$work/c_main"
# Python, from a clean virtual environment of Debian's python3, with nothing
# installed in it: the package finds its C library by itself.
site=$(find "$prefix/lib" -maxdepth 3 -type d -name dist-packages | head -n 1)
/usr/bin/python3 -m venv "$work/venv"
PYTHONPATH="$site" "$work/venv/bin/python" - <<'PY'
import quorin
with quorin.Quorin(mode="ofb", key_size=256) as q:
    q.initialise(b"a Python key"); q.load_iv(bytes(16))
    text = q.encrypt_string(b"from Python")
    q.load_iv(bytes(16))
    assert q.decrypt_string(text) == b"from Python"
print("python", quorin.version(), ": from Python ->", text.decode(), "-> from Python")
PY
if [ -x "$prefix/bin/quorin" ]; then "$prefix/bin/quorin" selftest >/dev/null; fi
echo "consumer: $prefix works with find_package (1.11, 1.10, 1), pkg-config, sealed files, C and Python; C++20 from the package"
