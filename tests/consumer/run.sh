#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and builds and runs programs
# against it: with find_package(Quorin) and with pkg-config.
# Usage: tests/consumer/run.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
"$work/build/consumer_full"
"$work/build/consumer_110"

libdir=$(dirname "$(find "$work/prefix" -name libtamberlo.so | head -n 1)")
for pkg in tamberlo tambercin; do
  PKG_CONFIG_PATH="$libdir/pkgconfig" c++ -std=c++20 "$here/main.cpp" -o "$work/pc_$pkg" \
    $(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs "$pkg")
  LD_LIBRARY_PATH="$libdir" "$work/pc_$pkg"
done
"$work/prefix/bin/quorin" selftest >/dev/null
echo "consumer: installed tree works with find_package and pkg-config"
