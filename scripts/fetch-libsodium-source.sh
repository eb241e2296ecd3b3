#!/bin/sh
# Unpacks Debian's source package of libsodium into DIR/libsodium (with its
# configure script), for the cross builds that compile it themselves:
#   scripts/fetch-libsodium-source.sh DIR
# Needs a deb-src line (scripts/install-deps.sh --wasm or --ci adds one).
set -eu
dir=$1
mkdir -p "$dir"
[ -x "$dir/libsodium/configure" ] && exit 0
rm -rf "$dir/libsodium"
(cd "$dir" && apt-get source -q --download-only libsodium >/dev/null 2>&1) ||
  { echo "apt-get source libsodium failed: is there a deb-src line? (scripts/install-deps.sh --wasm adds one)" >&2; exit 1; }
(cd "$dir" && dpkg-source -q -x libsodium_*.dsc libsodium >/dev/null 2>&1)
(cd "$dir/libsodium" && { [ -x configure ] || ./autogen.sh -s >/dev/null 2>&1; })
