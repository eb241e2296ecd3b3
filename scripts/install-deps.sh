#!/bin/sh
# Installs the Debian packages that Quorin needs to build, test and benchmark,
# and nothing when they are all present already. With --ci it adds what the
# continuous-integration checks use besides: clang's sanitizer runtime,
# valgrind, the s390x cross compiler with qemu for the big-endian run, and
# the Debian packaging tools (dpkg-shlibdeps, lintian).
#
# This is the one list of the project's dependencies; .ci/run uses it too.
set -eu

BUILD="cmake ninja-build g++ make pkg-config libcli11-dev libsodium-dev"
TEST="libgtest-dev libgmock-dev bsdutils man-db python3 python3-pytest python3-venv"
PEERS="libbenchmark-dev libtomcrypt-dev libcrypto++-dev"
PACKAGING="dpkg-dev file lintian"
CI="clang libclang-rt-14-dev valgrind g++-s390x-linux-gnu qemu-user $PACKAGING"

packages="$BUILD $TEST $PEERS"
[ "${1:-}" = "--ci" ] && packages="$packages $CI"

if ! command -v apt-get >/dev/null 2>&1 || ! command -v dpkg-query >/dev/null 2>&1; then
  echo "install-deps: this system has no apt. Install these (Debian names) by hand:" >&2
  echo "  $packages" >&2
  exit 1
fi

missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' ||
    missing="$missing $p"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "install-deps: run as root or install sudo; missing:$missing" >&2
  exit 1
fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp)
# shellcheck disable=SC2086
if ! { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends $missing; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "install-deps: apt-get failed; the packages needed are:$missing" >&2
  exit 1
fi
rm -f "$log"
