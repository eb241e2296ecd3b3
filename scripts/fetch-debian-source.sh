#!/bin/sh
# Unpacks Debian's source package PACKAGE into DIR/PACKAGE, for the cross
# builds that compile a library themselves (libsodium gets its configure
# script made):
#   scripts/fetch-debian-source.sh PACKAGE DIR
# Needs a deb-src line (scripts/install-deps.sh --wasm, --windows or --ci adds one).
set -eu
package=$1 dir=$2
mkdir -p "$dir"
[ -f "$dir/$package/.unpacked" ] && exit 0
rm -rf "$dir/$package"
(cd "$dir" && apt-get source -q --download-only "$package" >/dev/null 2>&1) ||
  { echo "apt-get source $package failed: is there a deb-src line? (scripts/install-deps.sh --ci adds one)" >&2; exit 1; }
(cd "$dir" && dpkg-source -q -x "${package}"_*.dsc "$package" >/dev/null 2>&1)
if [ -f "$dir/$package/configure.ac" ] && [ ! -x "$dir/$package/configure" ]; then
  (cd "$dir/$package" && ./autogen.sh -s >/dev/null 2>&1)
fi
touch "$dir/$package/.unpacked"
