#!/bin/sh
# Builds, with Debian's MinGW-w64 cross compiler (the posix thread model),
# what the Windows build links and Debian ships no Windows build of:
# libsodium and Google Benchmark from Debian's source packages, and
# GoogleTest from Debian's googletest sources (/usr/src/googletest), all
# static. They go to a cache
# outside the source tree, built once:
#   scripts/build-windows-deps.sh        # prints the prefix
# QUORIN_CACHE chooses the cache (default ~/.cache/quorin).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cache="${QUORIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorin}/windows-x86_64"
prefix="$cache/prefix"
host=x86_64-w64-mingw32
# Every configure run below (and each of its try_compile projects) reads the
# toolchain file, which runs this script when it is not given the prefix:
# given it, they never start another build of these.
export QUORIN_WINDOWS_DEPS="$prefix"
# One build at a time into the cache: a second waits, then finds it built.
mkdir -p "$cache"
exec 9>"$cache/lock"
if ! flock -w 1800 9; then
  echo "build-windows-deps: another build has held $cache/lock for 30 minutes" >&2
  exit 1
fi

if [ ! -f "$prefix/lib/libsodium.a" ]; then
  rm -rf "$cache/src"
  "$root/scripts/fetch-debian-source.sh" libsodium "$cache/src"
  echo "build-windows-deps: libsodium from Debian's source package, with $host-gcc-posix" >&2
  (cd "$cache/src/libsodium" &&
   ./configure --quiet --host=$host CC=$host-gcc-posix --disable-shared --enable-static \
     --prefix="$prefix" CFLAGS="-O2" >"$cache/libsodium-configure.log" 2>&1 &&
   make -j"$(nproc)" install >"$cache/libsodium-make.log" 2>&1) ||
    { tail -n 30 "$cache"/libsodium-*.log >&2; echo "build-windows-deps: libsodium did not build" >&2; exit 1; }
  # A static libsodium on Windows is declared so to its users, or its
  # functions are taken for imports from a DLL.
  sed -i 's/^Cflags: -I${includedir}$/Cflags: -I${includedir} -DSODIUM_STATIC/' "$prefix/lib/pkgconfig/libsodium.pc"
fi

if [ ! -f "$prefix/lib/libgtest.a" ]; then
  echo "build-windows-deps: GoogleTest from /usr/src/googletest, with $host-g++-posix" >&2
  cmake -S /usr/src/googletest -B "$cache/googletest" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake" \
    -DQUORIN_WINDOWS_DEPS="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF \
    >"$cache/googletest-configure.log" 2>&1 &&
  cmake --build "$cache/googletest" --target install >"$cache/googletest-build.log" 2>&1 ||
    { tail -n 30 "$cache"/googletest-*.log >&2; echo "build-windows-deps: GoogleTest did not build" >&2; exit 1; }
fi
if [ ! -f "$prefix/lib/libbenchmark.a" ]; then
  "$root/scripts/fetch-debian-source.sh" benchmark "$cache/src"
  echo "build-windows-deps: Google Benchmark from Debian's source package, with $host-g++-posix" >&2
  cmake -S "$cache/src/benchmark" -B "$cache/benchmark" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake" \
    -DQUORIN_WINDOWS_DEPS="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DBENCHMARK_ENABLE_TESTING=OFF -DBENCHMARK_ENABLE_WERROR=OFF -DBENCHMARK_ENABLE_INSTALL=ON \
    -DGIT_VERSION=0.0.0 -DBENCHMARK_ENABLE_LTO=OFF -DBUILD_SHARED_LIBS=OFF \
    >"$cache/benchmark-configure.log" 2>&1 &&
  cmake --build "$cache/benchmark" --target install >"$cache/benchmark-build.log" 2>&1 ||
    { tail -n 30 "$cache"/benchmark-*.log >&2; echo "build-windows-deps: Google Benchmark did not build" >&2; exit 1; }
fi
echo "$prefix"
