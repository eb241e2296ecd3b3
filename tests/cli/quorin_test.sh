#!/usr/bin/env bash
# The quorin tool, run as a user would: every subcommand, pipes, refusals,
# error messages with their exit codes, and agreement with the library.
# Usage: quorin_test.sh QUORIN INTEROP_HELPER
set -u
Q=$1 H=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
. "$here/checks.sh"

KEY=000102030405060708090a0b0c0d0e0f1011121314151617
IV=f0e0d0c0b0a090807060504030201000
export QUORIN_KEY='sixteen byte key'
head -c 100000 /dev/urandom >plain.bin
printf 'short text\n' >plain.txt

for m in ecb cbc cfb ofb; do
  "$Q" encrypt -m "$m" --key-hex "$KEY" --iv-hex "$IV" -o "c.$m" plain.bin 2>/dev/null &&
    "$Q" decrypt -m "$m" --key-hex "$KEY" --iv-hex "$IV" -o "p.$m" "c.$m" 2>/dev/null
  check "file round trip in $m" cmp -s plain.bin "p.$m"
  check "ciphertext in $m is padded to whole blocks" test "$(stat -c %s "c.$m")" -eq 100016
done
check "modes give different ciphertexts" bash -c '! cmp -s c.cbc c.ofb'

# From 8 MiB (and from a pipe, whose size is not known), ECB and CBC and CFB
# decryption take a second core: the bytes are those of the tool confined
# to one core, at a whole number of chunks and not, in files, pipes and armour.
one() { taskset -c "$(taskset -cp $$ | sed 's/.*: *//; s/[-,].*//')" "$@"; }
size=$((9 << 20)) files="big.bin big37.bin" modes="ecb cbc cfb"
# Under valgrind, which runs the tool some fifty times slower: one mode, and
# an input below 8 MiB, which takes two cores through pipes only.
[ -n "${QUORIN_TEST_UNDER_VALGRIND:-}" ] && size=$((2 << 20)) files=big37.bin modes=cbc
head -c "$size" /dev/urandom >big.bin
cp big.bin big37.bin
head -c 37 /dev/urandom >>big37.bin
for f in $files; do
  for m in $modes; do
    o=(-m "$m" --key-hex "$KEY" --iv-hex "$IV")
    one "$Q" encrypt "${o[@]}" -o "$f.1.$m" "$f"
    "$Q" encrypt "${o[@]}" -o "$f.2.$m" "$f"
    cat "$f" | "$Q" encrypt -a "${o[@]}" >"$f.a.$m"
    one "$Q" decrypt "${o[@]}" -o "$f.p1.$m" "$f.1.$m"
    "$Q" decrypt "${o[@]}" -o "$f.p2.$m" "$f.1.$m"
    cat "$f.1.$m" | "$Q" decrypt "${o[@]}" >"$f.p3.$m"
    "$Q" decrypt -a "${o[@]}" -o "$f.p4.$m" "$f.a.$m"
    check "$f in $m: two cores encrypt as one" cmp -s "$f.1.$m" "$f.2.$m"
    check "$f in $m: two cores decrypt as one, from a file, a pipe and armour" bash -c \
      "cmp -s $f $f.p1.$m && cmp -s $f $f.p2.$m && cmp -s $f $f.p3.$m && cmp -s $f $f.p4.$m"
  done
done
head -c $((size + 8)) big37.bin.1.cbc >cut.bin
expect 1 "a large ciphertext cut short is refused on two cores" \
  bash -c "cat cut.bin | '$Q' decrypt -m cbc --key-hex $KEY --iv-hex $IV -o cut.out"

"$Q" encrypt --iv-hex "$IV" <plain.txt | "$Q" decrypt --iv-hex "$IV" >piped.txt
check "stdin to stdout through a pipe" cmp -s plain.txt piped.txt
"$Q" encrypt --iv-hex "$IV" -o - - <plain.txt >explicit.bin
check "'-' names stdin and stdout" test "$(stat -c %s explicit.bin)" -eq 16

: | "$Q" encrypt --iv-hex "$IV" -o empty.bin
check "empty input gives one block" test "$(stat -c %s empty.bin)" -eq 16
"$Q" decrypt --iv-hex "$IV" -o empty.out empty.bin
check "and decrypts to an empty file" test -f empty.out -a ! -s empty.out

"$Q" encrypt -a --iv-hex "$IV" -o armoured.txt plain.bin
check "armour is framed by BEGIN and END lines" bash -c \
  '[ "$(head -n1 armoured.txt)" = "-----BEGIN QUORIN MESSAGE-----" ] && [ "$(tail -n1 armoured.txt)" = "-----END QUORIN MESSAGE-----" ]'
check "armour lines hold 64 characters of the alphabet" bash -c \
  '! sed "1d;\$d" armoured.txt | head -n -1 | grep -vqxE "[-+0-9A-Za-z]{64}"'
"$H" encrypt-string CBC "$(printf %s "$QUORIN_KEY" | od -An -tx1 | tr -d ' \n')" "$IV" <plain.bin >library.txt
check "the lines between the markers are EncryptString's text" bash -c \
  'diff <(sed "1d;\$d" armoured.txt | tr -d "\n") library.txt >/dev/null'
# The armour survives mail: quoted, wrapped in text, with CR LF line ends, or bare.
{ echo "Hi, the report:"; echo; cat armoured.txt; echo; echo "-- "; echo "Ann"; } >mail.txt
sed 's/^/> /' mail.txt >quoted.txt
sed 's/^/> > /' mail.txt >quoted2.txt
sed 's/$/\r/' mail.txt >crlf.txt
for variant in armoured.txt mail.txt quoted.txt quoted2.txt crlf.txt library.txt; do
  "$Q" decrypt -a --iv-hex "$IV" -o "back-$variant" "$variant" 2>/dev/null
  check "decrypt -a reads $variant" cmp -s plain.bin "back-$variant"
done
head -n 3 armoured.txt >cut-armour.txt
expect 1 "armour without its END line" "$Q" decrypt -a --iv-hex "$IV" cut-armour.txt
said "cut armour" "no END line"
"$Q" encrypt -a --iv-hex "$IV" -o short.txt plain.txt
"$H" encrypt-string CBC "$(printf %s "$QUORIN_KEY" | od -An -tx1 | tr -d ' \n')" "$IV" <plain.txt >library.txt
"$Q" decrypt -a --iv-hex "$IV" library.txt >back.txt
check "EncryptString output decrypts with decrypt -a" cmp -s plain.txt back.txt
fold -w 10 library.txt | "$Q" decrypt -a --iv-hex "$IV" >back.txt
check "wrapped armour decrypts too" cmp -s plain.txt back.txt

"$H" encrypt-file OFB "$KEY" "$IV" plain.bin library.bin
"$Q" decrypt -m ofb --key-hex "$KEY" --iv-hex "$IV" -o fromlib.bin library.bin
check "decrypt reads what EncryptFile wrote" cmp -s plain.bin fromlib.bin
check "and encrypt writes the same bytes" cmp -s library.bin c.ofb

expect 2 "mac never takes the encryption key's variable" "$Q" mac plain.bin
said "mac without a key" "QUORIN_MAC_KEY"
expect 2 "mac has no --key-env" "$Q" mac --key-env QUORIN_KEY plain.bin
QUORIN_MAC_KEY='a mac key, 16 b.' "$Q" mac plain.bin >mac-env.txt
"$Q" mac --key-hex "$(printf 'a mac key, 16 b.' | od -An -tx1 | tr -d ' \n')" plain.bin >mac-hex.txt
check "mac takes QUORIN_MAC_KEY" cmp -s mac-hex.txt mac-env.txt
"$Q" mac --key-hex "$KEY" plain.bin >mac.txt
check "mac prints 32 hex digits" grep -qxE '[0-9A-F]{32}' mac.txt
check "mac agrees with the library" bash -c "[ \"\$(cat mac.txt)\" = \"\$('$H' mac '$KEY' plain.bin)\" ]"

"$Q" encode plain.bin | "$Q" decode >decoded.bin
check "encode then decode returns the bytes" cmp -s plain.bin decoded.bin
check "encode of 'a' is ME" bash -c "[ \"\$(printf a | '$Q' encode)\" = ME ]"
expect 0 "selftest passes" "$Q" selftest
check "selftest lists the vectors" grep -q "published vector" out.txt
expect 0 "version" "$Q" version
check "version names 1.11" grep -q "1.11" out.txt
check "version names the kernel in use" grep -q "avx512 kernel\|avx2 kernel\|portable kernel" out.txt
QUORIN_CPU_DISABLE=avx2 "$Q" version >out.txt
check "the CPU mask shows in version" grep -q "portable kernel" out.txt

# Refusals and errors.
printf 'precious' >existing
expect 1 "existing output without -f" "$Q" encrypt --iv-hex "$IV" -o existing plain.txt
said "refusal" "pass -f"
check "the existing output is untouched" grep -qx precious existing
expect 0 "existing output with -f" "$Q" encrypt -f --iv-hex "$IV" -o existing plain.txt
expect 2 "missing IV in cbc" "$Q" encrypt -o x1 plain.txt
said "missing IV" "--iv-hex"
expect 2 "empty key" env QUORIN_KEY= "$Q" encrypt -m ecb -o x2 plain.txt
said "empty key" "key is empty"
expect 2 "no key at all" env -u QUORIN_KEY "$Q" encrypt -m ecb -o x3 plain.txt
said "no key" "--key-file"
expect 2 "bad hex" "$Q" encrypt -m ecb --key-hex 12zz -o x4 plain.txt
said "bad hex" "hex digits"
expect 0 "short key works" "$Q" encrypt -m ecb --key-hex 0011 -o x5 plain.txt
said "short key" "extended with zero bytes"
expect 0 "long key works" "$Q" encrypt -m ecb -s 128 --key-hex "$KEY" -o x6 plain.txt
said "long key" "only its first 16"
expect 1 "wrong-length ciphertext" "$Q" decrypt --iv-hex "$IV" -o x7 plain.txt
said "wrong length" "not whole 16-byte blocks"
said "wrong length without -a" "then pass -a"
expect 1 "armour of the wrong length" "$Q" decrypt -a --iv-hex "$IV" -o x7 <<<"ABCDEFGH"
check "with -a given, no hint to pass -a" bash -c '! grep -q "pass -a" err.txt'
expect 0 "quorin --version" "$Q" --version
check "--version names 1.11" grep -q "quorin 1.11" out.txt
check "a failed decryption leaves no output" test ! -e x7
head -c 32 /dev/zero >zeros.bin
expect 1 "invalid padding" "$Q" decrypt -m ecb --key-hex "$KEY" -o x8 zeros.bin
said "invalid padding" "the key, IV, mode or key size is wrong, or the file is damaged"
check "a failed decryption leaves no output (padding)" test ! -e x8
check "no temporary files are left behind" bash -c '! ls -A | grep -q quorin-'
expect 1 "same file in and out" "$Q" encrypt -f --iv-hex "$IV" -o plain.txt plain.txt
said "same file" "same file"
ln -s plain.txt link.txt
expect 1 "same file through a link" "$Q" encrypt -f --iv-hex "$IV" -o link.txt plain.txt
expect 1 "missing input" "$Q" encrypt --iv-hex "$IV" -o x9 no-such-file
said "missing input" "no-such-file"
expect 2 "unknown mode" "$Q" encrypt -m xts plain.txt
expect 2 "no subcommand" "$Q"

# A terminal on stdout: raw ciphertext is refused unless asked for.
if command -v script >/dev/null; then
  script -qec "'$Q' encrypt --iv-hex $IV plain.txt; echo code=\$?" /dev/null >tty.txt 2>&1
  check "raw ciphertext to a terminal is refused (2)" grep -q "code=2" tty.txt
  check "the refusal names -a and -o -" grep -q -- "-o -" tty.txt
  script -qec "'$Q' encrypt -a --iv-hex $IV plain.txt; echo code=\$?" /dev/null >tty.txt 2>&1
  check "armoured text to a terminal is fine" grep -q "code=0" tty.txt
fi

"$Q" encrypt --progress --iv-hex "$IV" -o prog.bin plain.bin 2>progress.txt
check "--progress shows percent and speed" grep -q "MiB/s" progress.txt
"$Q" encrypt --iv-hex "$IV" -o noprog.bin plain.bin 2>progress.txt
check "no progress line when stderr is not a terminal" test ! -s progress.txt

summary
