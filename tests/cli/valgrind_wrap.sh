#!/usr/bin/env bash
# Runs a command-line test script with every run of the tool under valgrind's
# memcheck; any memory error makes that run exit 99, which the script's own
# checks then report.
# Usage: valgrind_wrap.sh VALGRIND SCRIPT QUORIN HELPER
set -u
valgrind=$1 script=$2 quorin=$3 helper=$4
wrapper=$(mktemp)
trap 'rm -f "$wrapper"' EXIT
# Valgrind needs a temporary folder of its own; a run that takes TMPDIR away
# runs the tool directly.
cat >"$wrapper" <<WRAP
#!/bin/sh
[ -d "\${TMPDIR:-/tmp}" ] || exec "$quorin" "\$@"
exec "$valgrind" -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  --child-silent-after-fork=yes "$quorin" "\$@"
WRAP
chmod +x "$wrapper"
# Valgrind's own command line is what the process list shows.
QUORIN_TEST_UNDER_VALGRIND=1 bash "$script" "$wrapper" "$helper"
