#!/usr/bin/env bash
# The Windows ZIP, as a user gets it: made by CPack, unpacked into an empty
# folder, every program and DLL in it importing only Windows' own DLLs and
# each other, and quorin.exe selftest run from there.
# Usage: windows_zip_test.sh BUILD_DIR RUNNER OBJDUMP
set -u
build=$1 runner=$2 objdump=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$build" && cpack -G ZIP -B "$work/out" >/dev/null) || { echo "FAIL cpack"; exit 1; }
zip=$(ls "$work"/out/*.zip)
unzip -q "$zip" -d "$work/unpacked"
top=$(ls -d "$work"/unpacked/*/)
failures=0
for f in bin/quorin.exe bin/quorin-palette.exe bin/quorin-c.dll bin/tamberlo.dll bin/tambercin.dll \
         bin/quorin-seal.dll bin/quorin-framework.dll lib/libquorin-c.dll.a lib/quorin-c.def \
         include/quorin/quorin.h include/quorin/Rc6.h README.md LICENSE WINDOWS.md; do
  [ -e "$top/$f" ] || { echo "FAIL the ZIP lacks $f"; failures=$((failures + 1)); }
done
# Windows' own DLLs; anything else must be in bin.
system='^(kernel32|msvcrt|advapi32|shell32|user32|ws2_32|bcrypt|ntdll|api-ms-win-.*)\.dll$'
for f in "$top"/bin/*.exe "$top"/bin/*.dll; do
  for dll in $("$objdump" -p "$f" | sed -n 's/^\tDLL Name: //p'); do
    lower=$(tr 'A-Z' 'a-z' <<<"$dll")
    if ! grep -qE "$system" <<<"$lower" && [ ! -e "$top/bin/$dll" ]; then
      echo "FAIL $(basename "$f") needs $dll, which the ZIP does not hold"
      failures=$((failures + 1))
    fi
  done
done
cd "$work" || exit 1
if WINEDEBUG=-all ${runner:+"$runner"} "$top/bin/quorin.exe" selftest >selftest.txt 2>&1; then
  echo "ok   quorin.exe selftest from the unpacked ZIP"
else
  echo "FAIL quorin.exe selftest from the unpacked ZIP:"; cat selftest.txt
  failures=$((failures + 1))
fi
echo "$(basename "$zip"): $(stat -c %s "$zip") bytes, $failures failures"
[ "$failures" -eq 0 ]
