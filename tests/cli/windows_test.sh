#!/usr/bin/env bash
# quorin.exe, run as a Windows user would (under Wine here): round trips,
# sealing, refusals, atomic outputs, a non-ASCII file name, NUL, and bytes
# through standard input and output unchanged. With a native quorin, the
# two builds read each other's ciphertext, armour, MACs and sealed files,
# byte for byte, both ways.
# Usage: windows_test.sh RUNNER QUORIN_EXE [NATIVE_QUORIN]
#   RUNNER: what runs a Windows program here (wine64), or "" on Windows.
set -u
runner=$1 exe=$2 native=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
. "$here/checks.sh"
export LANG=C.UTF-8 WINEDEBUG=-all
W() { ${runner:+"$runner"} "$exe" "$@"; }

KEY=000102030405060708090a0b0c0d0e0f1011121314151617
IV=f0e0d0c0b0a090807060504030201000
# Every byte value, with line ends and Ctrl-Z among them: text mode would change them.
{ for i in $(seq 0 255); do printf "\\$(printf %o "$i")"; done; printf 'a\r\nb\nc\x1a'; head -c 70000 /dev/urandom; } >plain.bin

expect 0 "selftest" W selftest
for m in ecb cbc cfb ofb; do
  W encrypt -m "$m" --key-hex "$KEY" --iv-hex "$IV" -o "c.$m" plain.bin &&
    W decrypt -m "$m" --key-hex "$KEY" --iv-hex "$IV" -o "p.$m" "c.$m"
  check "file round trip in $m" cmp -s plain.bin "p.$m"
done
W encrypt --key-hex "$KEY" --iv-hex "$IV" <plain.bin | W decrypt --key-hex "$KEY" --iv-hex "$IV" >piped.bin
check "standard input and output carry bytes unchanged" cmp -s plain.bin piped.bin
W encrypt -a --key-hex "$KEY" --iv-hex "$IV" -o armour.txt plain.bin &&
  W decrypt -a --key-hex "$KEY" --iv-hex "$IV" -o armour.out armour.txt
check "armour round trip" cmp -s plain.bin armour.out
W mac --key-hex "$KEY" plain.bin >mac.txt
check "mac prints 32 hex digits" grep -qxE '[0-9A-Fa-f]{32}' mac.txt

# Sealed files.
expect 0 "keygen --raw writes a key file" W keygen --raw -o k.key
check "of 32 bytes" test "$(stat -c %s k.key)" -eq 32
expect 1 "keygen never overwrites" W keygen --raw -o k.key
W keygen -o me.id >me.pub
expect 0 "seal for a key file and a recipient" W seal --key-file k.key -r "$(cat me.pub)" -o s.qsl plain.bin
expect 0 "the key file opens it" W open --key-file k.key -o o1 s.qsl
expect 0 "the identity opens it" W open -i me.id -o o2 s.qsl
check "both give the plaintext" bash -c 'cmp -s plain.bin o1 && cmp -s plain.bin o2'
cp s.qsl bad.qsl
printf 'X' | dd of=bad.qsl bs=1 seek=300 conv=notrunc 2>/dev/null
expect 1 "an altered sealed file is refused" W open --key-file k.key -o tampered bad.qsl
check "and leaves no output" test ! -e tampered
for kat in keyfile v2-keyfile; do
  W open --key-file "$here/../data/sealed-kat.key" -o "kat-$kat" "$here/../data/sealed-$kat.qsl" 2>/dev/null
  check "the known-answer file sealed-$kat.qsl opens" cmp -s "$here/../data/sealed-kat.txt" "kat-$kat"
done

# Refusals and atomic outputs.
cp c.cbc replaced
expect 1 "an existing output is kept without -f" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o replaced plain.bin
said "the refusal" "exists"
expect 0 "-f replaces it" W encrypt -f -m ofb --key-hex "$KEY" --iv-hex "$IV" -o replaced plain.bin
check "with the new bytes" cmp -s replaced c.ofb
expect 1 "a missing input" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o never missing.bin
mkdir folder
expect 1 "a folder as OUT" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o folder plain.bin
said "the folder" "is a folder"
expect 1 "a folder as INPUT" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o never folder
expect 1 "INPUT as OUT" W encrypt -f --key-hex "$KEY" --iv-hex "$IV" -o plain.bin plain.bin
check "leaves INPUT whole" cmp -s plain.bin p.ecb
expect 1 "an OUT in a missing folder" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o no/such/out plain.bin
expect 1 "ciphertext that is not whole blocks" W decrypt --key-hex "$KEY" --iv-hex "$IV" -o never armour.txt
check "no output and no temporary file is left" bash -c '! ls -A | grep -qE "^(never|\.quorin-)"'

name='päß-日本語.bin'
cp plain.bin "$name"
W encrypt --key-hex "$KEY" --iv-hex "$IV" -o "$name.rc6" "$name" &&
  W decrypt --key-hex "$KEY" --iv-hex "$IV" -o "back-$name" "$name.rc6"
check "a non-ASCII file name round-trips" cmp -s plain.bin "back-$name"
long=$(printf 'd%.0s' $(seq 1 120))/$(printf 'e%.0s' $(seq 1 120))
mkdir -p "$long"
W encrypt --key-hex "$KEY" --iv-hex "$IV" -o "$long/$(printf 'f%.0s' $(seq 1 40))" plain.bin
check "an OUT beyond MAX_PATH is written" test -s "$long/$(printf 'f%.0s' $(seq 1 40))"
expect 0 "NUL takes the output" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o NUL plain.bin
check "without a file named NUL" test ! -e NUL

# The two builds read each other's bytes.
if [ -n "$native" ]; then
  for m in ecb cbc cfb ofb; do
    "$native" encrypt -m "$m" --key-hex "$KEY" --iv-hex "$IV" -o "n.$m" plain.bin
    check "ciphertext in $m is the same on both" cmp -s "c.$m" "n.$m"
  done
  check "so is the armour" bash -c "'$native' encrypt -a --key-hex $KEY --iv-hex $IV plain.bin | cmp -s - armour.txt"
  check "and the MAC" bash -c "'$native' mac --key-hex $KEY plain.bin | cmp -s - mac.txt"
  expect 0 "the native build opens what Windows sealed" "$native" open --key-file k.key -o n.opened s.qsl
  check "to the plaintext" cmp -s plain.bin n.opened
  "$native" seal --key-file k.key -r "$(cat me.pub)" -o n.qsl plain.bin
  expect 0 "Windows opens what the native build sealed, with the identity" W open -i me.id -o w.1 n.qsl
  expect 0 "and with the key file" W open --key-file k.key -o w.2 n.qsl
  check "to the plaintext" bash -c 'cmp -s plain.bin w.1 && cmp -s plain.bin w.2'
  "$native" encrypt -a --key-hex "$KEY" --iv-hex "$IV" -o n.armour plain.bin
  W decrypt -a --key-hex "$KEY" --iv-hex "$IV" -o w.armour n.armour
  check "Windows reads the native armour" cmp -s plain.bin w.armour
else
  echo "skip the native build's side: no native quorin was given"
fi
summary
