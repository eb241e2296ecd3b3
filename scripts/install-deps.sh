#!/bin/sh
# Installs the Debian packages that Quorin needs to build, test and benchmark,
# and nothing when they are all present already. With --wasm it adds what
# the WebAssembly build needs (emscripten, the tools that build libsodium
# from Debian's source package, and a deb-src line for `apt-get source` if
# the system has none); --windows what the Windows cross build needs
# (MinGW-w64, Wine, the tools that build libsodium). With --ci it adds those and what the
# continuous-integration checks use besides: clang's sanitizer runtime,
# valgrind, the s390x cross compiler with qemu for the big-endian run, and
# the Debian packaging tools (dpkg-shlibdeps, lintian), and the Windows
# cross build (MinGW-w64 and Wine).
#
# This is the one list of the project's dependencies; .ci/run uses it too.
set -eu

BUILD="cmake ninja-build g++ make pkg-config libcli11-dev libsodium-dev libssl-dev"
TEST="libgtest-dev libgmock-dev bsdutils man-db python3 python3-pytest python3-venv python3-nacl python3-cryptography python3-pip python3-build python3-setuptools python3-wheel mypy python3-pandas python3-dask python3-distributed postgresql-15 postgresql-server-dev-15 mono-mcs"
PEERS="libbenchmark-dev libtomcrypt-dev libcrypto++-dev"
PACKAGING="dpkg-dev file lintian"
WASM="emscripten nodejs autoconf automake libtool dpkg-dev"
# The page's browser test drives Debian's Chromium (puppeteer-core comes from
# the npm registry, by `npm ci` against the committed lock file).
BROWSER="chromium"
# The Windows build: Debian's MinGW-w64 (posix threads) and Wine to run it.
WINDOWS="g++-mingw-w64-x86-64-posix wine64 zip unzip"
CI="clang libclang-rt-14-dev valgrind g++-s390x-linux-gnu qemu-user bash-completion git $PACKAGING $WASM $BROWSER $WINDOWS"

packages="$BUILD $TEST $PEERS"
[ "${1:-}" = "--ci" ] && packages="$packages $CI"
[ "${1:-}" = "--wasm" ] && packages="$packages $WASM"
[ "${1:-}" = "--windows" ] && packages="$packages $WINDOWS autoconf automake libtool dpkg-dev"

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: this system has no apt. Install these (Debian names) by hand:" >&2
  echo "  $packages" >&2
  exit 1
fi

# apt-get source (libsodium for WebAssembly) needs a deb-src line: one is
# added beside the system's own, for the same mirrors and suites.
need_sources=""
if [ "${1:-}" = "--ci" ] || [ "${1:-}" = "--wasm" ] || [ "${1:-}" = "--windows" ]; then
  grep -rqs '^ *\(deb-src\|Types:.*deb-src\)' /etc/apt/sources.list /etc/apt/sources.list.d/ ||
    need_sources=yes
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
    missing="$missing $p"
done
[ -z "$missing" ] && [ -z "$need_sources" ] && exit 0

tell_admin() {
  echo "install-deps: $1. Ask an administrator to run:" >&2
  echo "  apt-get update && apt-get install -y --no-install-recommends$missing" >&2
  exit 1
}
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif ! command -v sudo >/dev/null 2>&1; then
  tell_admin "installing packages needs root, and sudo is not installed"
else
  sudo="sudo"
  # Asked once here (a password, perhaps), so that a refusal is told as one.
  $sudo true || tell_admin "sudo refused to run apt-get for you"
fi
if [ -n "$need_sources" ]; then
  echo "install-deps: adding a deb-src line (/etc/apt/sources.list.d/quorin-deb-src.*)"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $sudo tee /etc/apt/sources.list.d/quorin-deb-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      $sudo tee /etc/apt/sources.list.d/quorin-deb-src.list >/dev/null
  fi
fi
echo "install-deps: installing$missing"
apt="$sudo env DEBIAN_FRONTEND=noninteractive apt-get"
# apt's own progress is shown: a fresh machine downloads about 100 packages.
if ! $apt update -q; then
  echo "install-deps: apt-get update failed (see above); the packages needed are:$missing" >&2
  exit 1
fi
# shellcheck disable=SC2086
if [ -n "$missing" ] && ! $apt install -y -q --no-install-recommends $missing; then
  echo "install-deps: apt-get install failed (see above); the packages needed are:$missing" >&2
  exit 1
fi
echo "install-deps: done"
