#!/usr/bin/env bash
# The demo: quorin encrypts and decrypts the bundled sample file and an
# armoured string, and checks that both come back unchanged.
# Usage: tools/demo.sh QUORIN SAMPLE_FILE
set -euo pipefail
quorin=$1 sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export QUORIN_KEY='demo key: thirty-two bytes long!'
iv=000102030405060708090a0b0c0d0e0f
"$quorin" version
"$quorin" selftest | tail -n 1

echo "== a file: $(basename "$sample") ($(stat -c %s "$sample") bytes)"
"$quorin" encrypt --iv-hex $iv -o "$work/sample.rc6" "$sample"
echo "encrypted to $(stat -c %s "$work/sample.rc6") bytes: $(od -An -tx1 -N16 "$work/sample.rc6" | tr -d ' \n')..."
"$quorin" decrypt --iv-hex $iv -o "$work/sample.txt" "$work/sample.rc6"
cmp "$sample" "$work/sample.txt" && echo "decrypted: identical to the original"

echo "== a sealed file (key file; seal and open ask for a passphrase without one)"
"$quorin" keygen --raw -o "$work/demo.key"
"$quorin" seal --key-file "$work/demo.key" -o "$work/sample.qsl" "$sample"
echo "sealed to $(stat -c %s "$work/sample.qsl") bytes, header $(head -c 8 "$work/sample.qsl")..."
"$quorin" open --key-file "$work/demo.key" -o "$work/opened.txt" "$work/sample.qsl"
cmp "$sample" "$work/opened.txt" && echo "opened: identical to the original"
printf 'X' | dd of="$work/sample.qsl" bs=1 seek=100 conv=notrunc status=none
if ! "$quorin" open --key-file "$work/demo.key" -o "$work/altered.txt" "$work/sample.qsl"; then
  echo "an altered sealed file is refused, and no output is written: $([ -e "$work/altered.txt" ] && echo WRONG || echo ok)"
fi

echo "== an armoured string"
text='Attack at dawn; bring the RC6 keys.'
armoured=$(printf %s "$text" | "$quorin" encrypt -a --iv-hex $iv)
echo "'$text' -> $armoured"
back=$(printf '%s\n' "$armoured" | "$quorin" decrypt -a --iv-hex $iv)
echo "back: '$back'"
[ "$back" = "$text" ] && echo "demo: all good"
