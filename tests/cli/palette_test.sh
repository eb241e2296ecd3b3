#!/usr/bin/env bash
# quorin-palette against both packages: palette, bitmap, form round trip, errors.
# Usage: palette_test.sh QUORIN_PALETTE TAMBERLO TAMBERCIN
set -u
tool=$1 lo=$2 cin=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0 passes=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}

for pkg in "$lo" "$cin"; do
  out=$("$tool" list "$pkg")
  check "list shows the page ($pkg)" grep -qx "Vantrel: TQuorin" <<<"$out"
  check "bitmap is written ($pkg)" "$tool" bitmap "$pkg" "$work/q.bmp"
  check "bitmap is a 20x20 8-bit BMP" bash -c "head -c 2 '$work/q.bmp' | grep -q BM && [ \$(stat -c %s '$work/q.bmp') -eq 1478 ]"
done
grep -q "tamberlo 1.11" <<<"$("$tool" list "$lo")" && grep -q "tambercin 1.10" <<<"$("$tool" list "$cin")"
check "each package reports its own version" test $? -eq 0

check "form-new saves a form" "$tool" form-new "$lo" "$work/form.txt" --name Secret --set CipherMode=OFB --set StringMode=smNormal
check "the form holds every property" grep -qx "  KeySize = Small128" "$work/form.txt"
check "the other package reads it back" bash -c "'$tool' form-show '$cin' '$work/form.txt' | cmp -s - '$work/form.txt'"

"$tool" form-new "$lo" "$work/bad.txt" --set CipherMode=XTS 2>"$work/err"
check "a bad value exits 1" test $? -eq 1
check "the message lists the values" grep -q "ECB, CBC, CFB, OFB" "$work/err"
printf 'object Q: TQuorin\n  KeySize = Huge\nend\n' >"$work/bad.txt"
"$tool" form-show "$lo" "$work/bad.txt" 2>"$work/err"
check "a bad form exits 1 naming the line" bash -c "[ $? -eq 1 ] && grep -q 'line 2' '$work/err'"
"$tool" list /nonexistent/package.so 2>"$work/err"
check "a missing package exits 1 naming it" bash -c "[ $? -eq 1 ] && grep -q /nonexistent/package.so '$work/err'"
"$tool" 2>/dev/null
check "no subcommand is a usage error (2)" test $? -eq 2

echo "checks: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
