#!/usr/bin/env bash
# Every C example of a document (its ```c blocks, each a whole program) is
# compiled as C99 with warnings as errors against the C interface and run,
# in a scratch folder holding the files the examples name, with notes.txt
# on standard input. $QUORIN_EXAMPLE_RUNNER, if set, runs the programs: the
# Windows build's emulator, with the library's DLLs beside them.
# Usage: c_examples.sh DOCUMENT LIBRARY_DIR CC INCLUDE_DIR...
set -euo pipefail
document=$(realpath "$1") libdir=$(realpath "$2") cc=$3
shift 3
includes=()
for dir in "$@"; do includes+=("-I$(realpath "$dir")"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v dir="$work" '
  /^```c$/ { n++; file = sprintf("%s/example%d.c", dir, n); code = 1; next }
  code && /^```$/ { code = 0; close(file); next }
  code { print > file }' "$document"
cd "$work"
printf 'meet at noon\n' >notes.txt
suffix=
[ -z "${QUORIN_EXAMPLE_RUNNER:-}" ] || { cp "$libdir"/*.dll .; suffix=.exe; }
count=0
for source in example*.c; do
  "$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "${includes[@]}" "$source" -o "${source%.c}" \
    -L"$libdir" -lquorin-c
  LD_LIBRARY_PATH="$libdir" ${QUORIN_EXAMPLE_RUNNER:-} "./${source%.c}$suffix" <notes.txt >"${source%.c}.out" ||
    { cat "${source%.c}.out"; echo "FAIL $source of $document"; exit 1; }
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "FAIL no C examples in $document"; exit 1; }
! grep -q copy.txt "$document" || cmp -s notes.txt copy.txt || { echo "FAIL the sealed example did not open to itself"; exit 1; }
echo "ok   $count C examples of $(basename "$document") built and ran"
