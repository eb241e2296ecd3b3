#!/usr/bin/env bash
# quorin seal, open and keygen, run as a user would: round trips in every
# mode and key size, every kind of secret and recipient, both format
# versions, the passphrase prompt, and every kind of tampering refused with
# exit code 1 and no output file.
# Usage: seal_test.sh QUORIN INTEROP_HELPER
set -u
Q=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
. "$here/checks.sh"
# Under valgrind every run is slow: the tampering is sampled, not exhaustive.
slow=${QUORIN_TEST_UNDER_VALGRIND:+1}

expect 0 "keygen --raw writes a key file" "$Q" keygen --raw -o k.key
check "the key file is 32 bytes, mode 0600" test "$(stat -c %s:%a k.key)" = 32:600
expect 1 "keygen never overwrites" "$Q" keygen --raw -o k.key
said "keygen names the reason" "exists"
expect 2 "keygen needs -o" "$Q" keygen
# Killed while it writes (a file size limit of 0 sends SIGXFSZ), keygen leaves
# no key file that would block the name, also with a named temporary file.
for preload in "" "${QUORIN_TEST_NO_TMPFILE:-}"; do
  (LD_PRELOAD=$preload ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
    bash -c "ulimit -f 0; exec '$Q' keygen --raw -o cut.key") 2>/dev/null
  check "keygen killed midway${preload:+ (named temporary file)} leaves nothing" bash -c '! ls -A | grep -qE "^(cut\.key|\.quorin-)"'
done

# Identities and recipients.
"$Q" keygen -o me.id >me.pub 2>err.txt
check "keygen writes an identity, mode 0600" test "$(stat -c %a me.id)" = 600
check "and prints its recipient" grep -qx 'quorin1[a-z0-9]\{58\}' me.pub
expect 0 "keygen -y prints the recipient again" "$Q" keygen -y me.id
check "the same recipient" cmp -s out.txt me.pub
"$Q" keygen -o you.id >you.pub
head -c 70000 /dev/urandom >pr
{ echo "# the team"; cat me.pub; echo; echo "  $(cat you.pub)  "; } >team.txt
expect 0 "seal -R for a file of recipients" "$Q" seal -R team.txt -o team.qsl pr
for id in me you; do
  expect 0 "open -i with $id's identity" "$Q" open -i $id.id -o team.$id team.qsl
  check "$id's copy is the plaintext" cmp -s pr team.$id
done
if [ -z "$slow" ]; then  # each run is slow under valgrind; the paths are run above
  "$Q" keygen -o stranger.id >/dev/null
  expect 1 "another identity is refused" "$Q" open -i stranger.id -o x team.qsl
  said "another identity" "no passphrase, key file or identity given opens it"
  expect 2 "no identity given" "$Q" open -o x team.qsl
  said "what the file needs" "opens with an identity: pass -i FILE"
  typo=$(sed 's/.$/q/' me.pub); [ "$typo" = "$(cat me.pub)" ] && typo=$(sed 's/.$/p/' me.pub)
  expect 2 "a mistyped recipient is refused" "$Q" seal -r "$typo" -o x pr
  said "the checksum" "checksum does not match"
  QUORIN_PW='mixed passphrase' expect 0 "a passphrase, a key file and a recipient in one file" \
    "$Q" seal --cost interactive --passphrase-env QUORIN_PW --key-file k.key -r "$(cat me.pub)" -o mix.qsl pr
  said "a note that recipients can forge for the passphrase" "change it undetectably"
  QUORIN_PW='mixed passphrase' expect 0 "the passphrase opens it" \
    "$Q" open --passphrase-env QUORIN_PW -o mix.1 mix.qsl
  expect 0 "the key file opens it" "$Q" open --key-file k.key -o mix.2 mix.qsl
  expect 0 "the identity opens it" "$Q" open -i me.id -o mix.3 mix.qsl
  check "each gives the plaintext" bash -c 'cmp -s pr mix.1 && cmp -s pr mix.2 && cmp -s pr mix.3'
fi
# Misuse as users meet it: exit code|what stderr says|description|command.
"$Q" seal -a --key-file k.key -o one.txt pr
cat one.txt one.txt >two-blocks.txt
{ printf QUORSEAL; cat one.txt; } >magic-then-text.txt
tail -1 me.id >id.line
while IFS='|' read -r code says what command; do
  rm -f x
  expect "$code" "$what" bash -c "$command"
  said "$what" "$says"
  check "$what: no output" test ! -e x
done <<CASES
2|Seal to them as recipients (-R FILE)|a recipient list as --key-file|"$Q" seal --key-file me.pub -o x pr
2|open with it as an identity (-i FILE)|an identity as --key-file|"$Q" seal --key-file me.id -o x pr
2|an identity, which is secret|-r given an identity|"$Q" seal -r "\$(cat id.line)" -o x pr
1|second armoured block|two armoured files end to end|"$Q" open --key-file k.key -o x two-blocks.txt
1|text follows its "QUORSEAL"|armour after the magic|"$Q" open --key-file k.key -o x magic-then-text.txt
1|standard output is closed|keygen with standard output closed|"$Q" keygen -o x >&-
1|No space left on device|keygen into a full standard output|"$Q" keygen -o x >/dev/full
2|can give one thing only|-R - with INPUT on standard input too|"$Q" seal -R - -o x <me.pub
2|longer than 1024 bytes|a key file of 1025 bytes|head -c 1025 /dev/urandom >big.key; "$Q" seal --key-file big.key -o x pr
2|at most 1024 bytes|a passphrase of 1025 bytes from the environment|QUORIN_PW=\$(head -c 1025 /dev/zero | tr '\\0' p) "$Q" seal --passphrase-env QUORIN_PW -o x pr
2|quorin: The following argument was not expected|the parser's own errors|"$Q" seal --no-such-option -o x pr
CASES
check "-r does not repeat a secret identity" bash -c '! grep -qi "$(cut -c1-30 id.line)" err.txt'
expect 0 "seal -R - reads the recipients from standard input" "$Q" seal --armor -R - -o stdin.qsl pr <team.txt
expect 0 "open -i - reads the identity from standard input" "$Q" open -i - -o stdin.out stdin.qsl <you.id
check "and opens" cmp -s pr stdin.out
expect 0 "keygen -y reads standard input" "$Q" keygen -y <me.id
check "the recipient" cmp -s out.txt me.pub
expect 0 "keygen -y -o OUT" "$Q" keygen -y -o me.again me.id
check "the recipient in OUT" cmp -s me.again me.pub

# Armour: standard base64 between BEGIN and END lines; open takes it as it
# is, inside a quoted mail, or binary.
expect 0 "seal -a, INPUT right after -r RECIPIENT" "$Q" seal -a -r "$(cat me.pub)" pr
cp out.txt armoured.txt
check "seal -a frames the armour" bash -c 'head -1 armoured.txt | grep -qx -- "-----BEGIN QUORIN SEALED FILE-----" && tail -1 armoured.txt | grep -qx -- "-----END QUORIN SEALED FILE-----"'
check "in lines of 64 columns that base64 -d reads" bash -c 'sed "1d;\$d" armoured.txt | awk "length > 64 { exit 1 }" && sed "1d;\$d" armoured.txt | base64 -d | head -c 8 | grep -q QUORSEAL'
{ echo "Here is the file:"; echo; sed 's/^/> /' armoured.txt; echo "> "; echo "Regards"; } >mail.txt
for f in armoured.txt mail.txt; do
  expect 0 "open reads $f" "$Q" open -i me.id -o "$f.out" "$f"
  check "$f opens to the plaintext" cmp -s pr "$f.out"
done
expect 0 "open takes --armor too" "$Q" open --armor -i me.id -o armor.out armoured.txt
head -c 300 /dev/urandom >k300.key
expect 0 "a key file of 300 bytes seals" "$Q" seal --key-file k300.key -o k300.qsl pr
expect 0 "and opens" "$Q" open --key-file k300.key -o k300.out k300.qsl
# One character of the body changes, whatever line 3 happens to hold.
awk 'NR == 3 { c = substr($0, 10, 1); $0 = substr($0, 1, 9) (c == "A" ? "B" : "A") substr($0, 11) } 1' \
  armoured.txt >altered.txt
expect 1 "altered armour is refused" "$Q" open -i me.id -o x altered.txt
expect 1 "text that is neither is refused" "$Q" open -i me.id -o x team.txt
said "text that is neither" "is not a sealed file"
expect 0 "--format 1 for older readers" "$Q" seal --format 1 --key-file k.key -o v1.qsl pr
check "writes version 1" test "$(od -An -tu2 -j8 -N2 v1.qsl | tr -d ' ')" = 1
expect 0 "version 1 opens" "$Q" open --key-file k.key -o v1.out v1.qsl
check "to the plaintext" cmp -s pr v1.out
expect 2 "version 1 has no recipients" "$Q" seal --format 1 -r "$(cat me.pub)" -o x pr
printf 'typed key text, 32 bytes long!\n' >typed.key
expect 0 "a typed key file still seals" "$Q" seal --key-file typed.key -o typed-key.qsl pr
said "with a warning" "looks like typed text"

sizes="0 1 15 16 17 4095 4096 4097 3145733"
[ -n "$slow" ] && sizes="0 17 4097 70000"
for n in $sizes; do head -c "$n" /dev/urandom >"p$n"; done
for m in cbc cfb ofb; do
  for s in 128 192 256; do
    # Under valgrind, one key size per mode: the library's own tests cover the rest.
    [ -n "$slow" ] && [ "$m:$s" != cbc:128 ] && [ "$m:$s" != cfb:192 ] && [ "$m:$s" != ofb:256 ] && continue
    ok=1
    for n in $sizes; do
      "$Q" seal --key-file k.key -m $m -s $s -o "s$n" "p$n" && "$Q" open --key-file k.key -o "o$n" "s$n" &&
        cmp -s "p$n" "o$n" || ok=0
      rm -f "s$n" "o$n"
    done
    check "round trips in $m with $s-bit keys, sizes $sizes" test $ok = 1
  done
done
"$Q" seal --key-file k.key <p4097 | "$Q" open --key-file k.key >piped
check "standard input to standard output" cmp -s p4097 piped
cp p4097 self
expect 1 "seal INPUT >> INPUT" bash -c "timeout 10 '$Q' seal --key-file k.key self >>self"
said "seal INPUT >> INPUT" "INPUT and OUT are the same file"
check "leaves INPUT as it was" cmp -s p4097 self

printf 'my passphrase\n' >pw
export QUORIN_PW='my passphrase'
expect 0 "seal with --passphrase-file" "$Q" seal --cost interactive --passphrase-file pw -o pw.qsl p17
expect 0 "open with --passphrase-env (the file's line end is not part of it)" \
  "$Q" open --passphrase-env QUORIN_PW -o pw.out pw.qsl
check "the passphrase round trip" cmp -s p17 pw.out
# Only the first line counts: what follows may be long, or never end.
{ printf 'my passphrase\n'; head -c 5000 /dev/zero | tr '\0' x; } >pw-and-more
if [ -z "$slow" ]; then  # each opening hashes the passphrase: slow under valgrind
  expect 0 "--passphrase-file takes the first line of a longer file" \
    "$Q" open --passphrase-file pw-and-more -o more.out pw.qsl
  mkfifo pw.fifo
  (printf 'my passphrase\n'; exec sleep 30) >pw.fifo 2>/dev/null &
  writer=$!
  expect 0 "--passphrase-file does not wait for the rest of a FIFO" \
    timeout 10 "$Q" open --passphrase-file pw.fifo -o fifo.out pw.qsl
  kill $writer 2>/dev/null
fi
{ head -c 1025 /dev/zero | tr '\0' x; printf '\n'; } >pw-long
expect 2 "a first line over 1024 bytes is refused" "$Q" open --passphrase-file pw-long -o x pw.qsl
said "a long first line" "longer than 1024 bytes"
printf 'wrong\n' >bad
expect 1 "a wrong passphrase is refused" "$Q" open --passphrase-file bad -o wrong.out pw.qsl
said "a wrong passphrase" "no passphrase, key file or identity given opens it"
check "a wrong passphrase leaves no output" test ! -e wrong.out
expect 2 "a key file where a passphrase is needed" "$Q" open --key-file k.key pw.qsl
said "the header says which secret" "opens with a passphrase, and none was given"
"$Q" seal --key-file k.key -o kf.qsl p17
expect 2 "a passphrase where a key file is needed" "$Q" open --passphrase-env QUORIN_PW -o x kf.qsl
: >empty
expect 2 "an empty passphrase is refused" "$Q" seal --passphrase-file empty -o x p17
expect 2 "two passphrases are refused" "$Q" seal --passphrase-file pw --passphrase-env QUORIN_PW -o x p17
expect 2 "no terminal, no prompt" setsid "$Q" seal -o x p17 </dev/null
said "the way out" "--passphrase-file"
expect 2 "ECB cannot seal" "$Q" seal --key-file k.key -m ecb -o x p17
expect 1 "an unsealed file is refused" "$Q" open --key-file k.key -o x p17
said "an unsealed file" "is not a sealed file"

if command -v script >/dev/null; then
  printf 'typed pass\ntyped pass\n' |
    script -qec "'$Q' seal --cost interactive -o typed.qsl p17; echo code=\$?" /dev/null >tty.txt 2>&1
  check "the prompt asks twice and seals" grep -q code=0 tty.txt
  check "the prompt does not echo" bash -c '! grep -q "typed pass.*typed pass" tty.txt'
  printf 'typed pass\n' | script -qec "'$Q' open -o typed.out typed.qsl" /dev/null >/dev/null 2>&1
  check "the typed passphrase opens it" cmp -s p17 typed.out
  printf 'one\ntwo\n' | script -qec "'$Q' seal -o nomatch.qsl p17; echo code=\$?" /dev/null >tty.txt 2>&1
  check "differing passphrases are refused" grep -q code=1 tty.txt
  check "and seal nothing" test ! -e nomatch.qsl
  script -qec "'$Q' seal --key-file k.key p17; echo code=\$?" /dev/null >tty.txt 2>&1
  check "sealed bytes are not written to a terminal" grep -q code=2 tty.txt
fi

# Tampering: a one-chunk file, so every tag byte sits at the end. Its
# header: 40 fixed bytes, one key-file stanza (4 + 64) and the header's MAC (32).
"$Q" seal --key-file k.key -o good.qsl p4097
size=$(stat -c %s good.qsl)  # 140 + 4112 + 32
tampered() {  # tampered "description" CODE PATTERN: good.qsl altered into t.qsl must be refused
  expect "$2" "$1 is refused" "$Q" open --key-file k.key -o t.out t.qsl
  grep -q -- "$3" err.txt || bad "$1: expected '$3', got: $(cat err.txt)"
  [ -e t.out ] && bad "$1 left an output file"
}
flip() {  # flip OFFSET: t.qsl is good.qsl with that byte's top bit flipped
  local byte
  byte=$(od -An -tu1 -j "$1" -N1 good.qsl)
  cp good.qsl t.qsl
  printf "\\$(printf %03o $((byte ^ 0x80)))" | dd of=t.qsl bs=1 seek="$1" conv=notrunc status=none
}
offsets="$(seq 0 139) $(seq $((size - 32)) $((size - 1))) 140 200 2000 4251"
[ -n "$slow" ] && offsets="0 9 10 20 30 40 42 50 120 140 2000 $((size - 32)) $((size - 1))"
for i in $offsets; do
  flip "$i"
  code=1
  if [ "$i" -lt 8 ]; then want="not a sealed file"
  elif [ "$i" -lt 10 ]; then want="format version"
  elif [ "$i" -ge 16 ] && [ "$i" -le 17 ]; then want="header was altered"
  elif [ "$i" -lt 24 ]; then want="damaged header"
  elif [ "$i" -lt 40 ]; then want="header was altered"
  elif [ "$i" -lt 42 ]; then want="kinds of recipient this quorin does not know"; code=2
  elif [ "$i" -lt 44 ]; then want="damaged header"
  elif [ "$i" -lt 108 ]; then want="no passphrase, key file or identity given opens it"
  elif [ "$i" -lt 140 ]; then want="header was altered"
  else want="does not match its tag"; fi
  tampered "byte $i flipped" $code "$want"
done
cuts="0 4 8 10 12 16 20 24 28 32 40 44 100 139 140 141 $((size - 31)) $((size - 16)) $((size - 1))"
for n in $cuts; do
  head -c "$n" good.qsl >t.qsl
  case $n in 0) want="not a sealed file";; $((size - 16))) want="cut short";; *) want="truncated";; esac
  tampered "cut to $n bytes" 1 "$want"
done
cp good.qsl t.qsl; printf x >>t.qsl
tampered "a byte appended" 1 "appended"
# A header asking for more than 4 passes or 1 GiB is refused at once, before
# any passphrase is asked for, unless the limit is raised.
{ head -c 44 pw.qsl; printf '\5\0\0\0'; tail -c +49 pw.qsl; } >t.qsl
tampered "a header asking for 5 passes" 1 "beyond the 4 passes"
expect 1 "--max-passes 5 lets it through to the header's MAC" \
  "$Q" open --max-passes 5 --passphrase-file pw -o t.out t.qsl
said "the header's MAC" "header was altered"
# A header asking for 2 TiB of memory is refused at once, before any passphrase is asked for.
{ head -c 48 pw.qsl; printf '\0\0\0\200'; tail -c +53 pw.qsl; } >t.qsl
tampered "a header asking for 2 TiB" 1 "beyond"
{ head -c 24 v1.qsl; printf '\0\0\0\200'; tail -c +29 v1.qsl; } >t.qsl
tampered "a version 1 header asking for 2 TiB" 1 "damaged header"

summary
