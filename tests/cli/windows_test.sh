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
for device in CON CON.qsl LPT1.qsl PRN nul.txt 'My Files\AUX' com9.txt; do
  expect 2 "-o $device is refused before any work" W encrypt --key-hex "$KEY" --iv-hex "$IV" -o "$device" plain.bin
  said "-o $device" "names the device"
done
W --help >help.txt
check "help shows PowerShell's and cmd's forms" bash -c "grep -q 'env:QUORIN_KEY' help.txt && grep -q 'set IV=' help.txt"

# Outputs are ordinary files, not hidden ones; an interrupted run leaves
# nothing, whether Ctrl-C is typed or its console closes.
if [ -n "$runner" ]; then
  W keygen -o seen.id >/dev/null
  for f in seen.id replaced c.cbc; do
    check "$f is not hidden" bash -c "! '$runner' cmd /c attrib '$f' | cut -c1-12 | grep -q H"
  done
  sealing="'$runner' '$exe' seal --no-progress --key-file k.key"
  for action in ctrl-c close; do
    for run in "$sealing -o cut.out" "$sealing | '$runner' '$exe' open --no-progress --key-file k.key -o cut.out"; do
      python3 "$here/console.py" interrupt "$action" . -- sh -c "head -c 8000000000 /dev/zero | $run" >/dev/null
      check "$action during ${run##*\' } leaves no output and no temporary file" \
        bash -c '! ls -A | grep -qE "^(cut\.out|\.quorin-)"'
    done
  done
  python3 "$here/console.py" run -- "$runner" "$exe" encrypt -m ecb --key-hex "$KEY" plain.bin >/dev/null
  check "raw ciphertext is not written to the console" test $? -eq 2
fi

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

  # Non-ASCII secrets from the environment, a file and the console cross
  # both ways; another secret of the same length never opens.
  while IFS='|' read -r secret other <&3; do
    PW=$secret W seal --cost interactive --passphrase-env PW -f -o env.qsl plain.bin
    PW=$secret expect 0 "native open of a Windows seal under '$secret' from the environment" \
      "$native" open --passphrase-env PW -f -o env.1 env.qsl
    PW=$other expect 1 "'$other' does not open it on Windows" W open --passphrase-env PW -f -o env.x env.qsl
    PW=$secret "$native" seal --cost interactive --passphrase-env PW -f -o nenv.qsl plain.bin
    PW=$secret expect 0 "Windows opens the native seal under '$secret'" W open --passphrase-env PW -f -o env.2 nenv.qsl
    check "to the plaintext" bash -c 'cmp -s plain.bin env.1 && cmp -s plain.bin env.2'
    QUORIN_KEY=$secret W encrypt -m ecb -f -o key.rc6 plain.bin 2>/dev/null
    QUORIN_KEY=$secret "$native" encrypt -m ecb -f -o nkey.rc6 plain.bin 2>/dev/null
    check "a key '$secret' from the environment is the same bytes on both" cmp -s key.rc6 nkey.rc6
    QUORIN_KEY=$other W encrypt -m ecb -f -o other.rc6 plain.bin 2>/dev/null
    check "and '$other' another key" bash -c '! cmp -s key.rc6 other.rc6'
  done 3<<'SECRETS'
日本語のパスワード|中文中文中文中文中
Пароль-ключ-для-RC6|Другой-ключ-для-RC6
pässwörd|passwörd
SECRETS
  printf '\xef\xbb\xbfpäss wörds\r\n' >pw.bom
  expect 0 "a passphrase file with a UTF-8 byte-order mark" W seal --cost interactive --passphrase-file pw.bom -o bom.qsl plain.bin
  PW='päss wörds' expect 0 "opens with the passphrase typed elsewhere" "$native" open --passphrase-env PW -o bom.out bom.qsl
  printf '\xff\xfep\0\xe4\0s\0s\0\r\0\n\0' >pw.utf16
  expect 2 "a UTF-16 passphrase file is refused" W seal --passphrase-file pw.utf16 -o never plain.bin
  said "UTF-16" "UTF-16 text"
  { printf '\xef\xbb\xbf'; cat me.pub; } >team.bom
  expect 0 "a recipients file with a byte-order mark" W seal -R team.bom -a -o bom.txt plain.bin
  { printf '\xef\xbb\xbf'; cat bom.txt; } >bom2.txt
  expect 0 "armour with a byte-order mark opens" "$native" open -i me.id -o bom.2 bom2.txt
  python3 "$here/console.py" answer 'sécret wörds' 'sécret wörds' -- ${runner:+"$runner"} "$exe" \
    seal --cost interactive -o console.qsl plain.bin >console.txt
  PW='sécret wörds' expect 0 "a passphrase typed at the console opens natively" "$native" open --passphrase-env PW -o console.out console.qsl
  check "what was typed was not shown" bash -c '! grep -q "cret" console.txt'
  PW='sécret wörds' "$native" seal --cost interactive --passphrase-env PW -o native-pw.qsl plain.bin
  python3 "$here/console.py" answer 'sécret wörds' -- ${runner:+"$runner"} "$exe" \
    open -o console.out2 native-pw.qsl >/dev/null
  check "the same passphrase typed at the console opens a native seal" cmp -s plain.bin console.out2
  printf 'päss wörds\n' >pw.txt
  expect 0 "a passphrase file with non-ASCII text, on Windows" W open --passphrase-file pw.txt -o bom.3 bom.qsl
  "$native" seal --cost interactive --passphrase-file pw.txt -o native-file.qsl plain.bin
  expect 0 "and the same file opens the native seal there" W open --passphrase-file pw.txt -o file.out native-file.qsl
else
  echo "skip the native build's side: no native quorin was given"
fi
summary
