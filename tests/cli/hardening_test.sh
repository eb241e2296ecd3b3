#!/usr/bin/env bash
# The tool under bad input and hostile conditions: damaged and wrong-key
# ciphertext, endless key files, special files as OUT, closed standard
# descriptors, signals, piped plaintext, odd paths and unwritable output.
# Usage: hardening_test.sh QUORIN INTEROP_HELPER
set -u
Q=$1 H=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'jobs -p | xargs -r kill 2>/dev/null; rm -rf "$work"' EXIT
cd "$work" || exit 1
. "$here/checks.sh"

KEY=000102030405060708090a0b0c0d0e0f
IV=f0e0d0c0b0a090807060504030201000
export QUORIN_KEY='sixteen byte key'
# Fixed contents, so that the wrong-key outcomes below are the same on every run.
seq 1 5000 | head -c 20000 >plain.bin
"$Q" encrypt --iv-hex $IV -o c.bin plain.bin

# Damaged or wrongly keyed ciphertext is refused, and leaves no output.
head -c 19984 c.bin >cut.bin
expect 1 "ciphertext cut at a block boundary" "$Q" decrypt --iv-hex $IV -o cut.out cut.bin
said "cut ciphertext" "the key, IV, mode or key size is wrong, or the file is damaged"
check "no output from the cut ciphertext" test ! -e cut.out
wrong=0 tries=40
[ -n "${QUORIN_TEST_UNDER_VALGRIND:-}" ] && tries=5  # every run is slow there
for k in $(seq 1 $tries); do
  "$Q" decrypt --iv-hex $IV --key-hex "$(printf '%032x' "$k")" -o - c.bin >/dev/null 2>&1 || wrong=$((wrong + 1))
done
check "$tries of $tries wrong keys are refused" test "$wrong" -eq $tries
"$Q" decrypt -a --iv-hex $IV <<<"$(printf 'x%.0s' $(seq 1 64))" >/dev/null 2>err.txt
said "armour with a wrong key" "is wrong, or the file is damaged"

# --key-hex in both spellings and at every place on the line: what the command
# reads and writes is what --key-file gives. Standard input holds other bytes,
# so a command that read it instead of INPUT would be caught.
printf '\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff' >hex.key
printf 'other bytes on standard input' >other.bin
lines=("encrypt -m ecb -o OUT plain.bin" "decrypt -m ecb -o OUT ecb.bin" "mac plain.bin -o OUT")
[ -n "${QUORIN_TEST_UNDER_VALGRIND:-}" ] && lines=("${lines[0]}")  # every run is slow there
for line in "${lines[@]}"; do
  read -ra words <<<"$line"
  "$Q" encrypt -m ecb --key-file hex.key -o ecb.bin plain.bin 2>/dev/null
  "$Q" "${words[@]/OUT/want.out}" --key-file hex.key 2>/dev/null
  for at in $(seq 1 ${#words[@]}); do
    for spelling in joined spaced; do
      if [ $spelling = joined ]; then secret=(--key-hex=00112233445566778899aabbccddeeff)
      else secret=(--key-hex 00112233445566778899aabbccddeeff); fi
      args=("${words[@]:0:at}" "${secret[@]}" "${words[@]:at}")
      case "${words[at-1]}" in -m | -o) continue ;; esac
      rm -f got.out
      "$Q" "${args[@]/OUT/got.out}" <other.bin >/dev/null 2>err.txt
      check "${args[*]}: the same bytes as --key-file" cmp -s want.out got.out
    done
  done
  rm -f want.out
done

# Key and IV files are read with a bound.
mkdir keydir
for f in /dev/zero /dev/urandom; do
  expect 2 "--key-file $f" timeout 10 "$Q" encrypt -m ecb --key-file $f -o - plain.bin
  said "--key-file $f" "longer than 256 bytes"
done
expect 2 "--iv-file /dev/zero" timeout 10 "$Q" encrypt --iv-file /dev/zero -o - plain.bin
expect 2 "--key-file naming a folder" "$Q" encrypt -m ecb --key-file keydir -o - plain.bin
said "--key-file folder" "is a folder"
check "no library message for the folder" bash -c '! grep -qi basic_ios err.txt'
expect 2 "--key-hex ''" "$Q" encrypt -m ecb --key-hex '' -o - plain.bin
said "empty --key-hex" "empty"
expect 2 "--key-file ''" "$Q" encrypt -m ecb --key-file '' -o - plain.bin

# Special files as OUT: a character device or a pipe of the run's own is
# written in place; a FIFO only with -f and only the user's own; nothing is
# reached through a link in a sticky folder.
expect 0 "-o /dev/null without -f" "$Q" encrypt --iv-hex $IV -o /dev/null plain.bin
check "/dev/null is still a device" test -c /dev/null
expect 0 "-o >(...) without -f" bash -c "'$Q' encrypt --iv-hex $IV -o >(cat >subst-out.bin) plain.bin"
sleep 0.2
check "the pipe carried the ciphertext" cmp -s c.bin subst-out.bin
mkfifo out.fifo
expect 1 "-o FIFO without -f" timeout 10 "$Q" encrypt --iv-hex $IV -o out.fifo plain.bin
said "-o FIFO without -f" "is a FIFO: pass -f"
cat out.fifo >from-fifo.bin &
expect 0 "-f -o FIFO" "$Q" encrypt -f --iv-hex $IV -o out.fifo plain.bin
wait
check "the FIFO is still a FIFO" test -p out.fifo
check "and carried the ciphertext" cmp -s c.bin from-fifo.bin
mkdir -m 1777 sticky
ln -s /dev/null sticky/null-link
expect 1 "a link to a device in a sticky folder, without -f" "$Q" encrypt --iv-hex $IV -o sticky/null-link plain.bin
said "the link in a sticky folder" "exists"
expect 0 "the same with -f" "$Q" encrypt -f --iv-hex $IV -o sticky/null-link plain.bin
check "replaces the link instead of following it" bash -c 'test -f sticky/null-link && ! test -L sticky/null-link && test -c /dev/null'
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
  mkfifo theirs.fifo && chown nobody theirs.fifo
  ln -s "$PWD/theirs.fifo" sticky/fifo-link && chown -h nobody sticky/fifo-link
  for force in "" -f; do
    expect 1 "another user's FIFO as OUT ${force:-without -f}" timeout 10 "$Q" decrypt $force --iv-hex $IV -o theirs.fifo c.bin
    said "another user's FIFO" "belongs to another user"
  done
  expect 1 "another user's link to a FIFO in a sticky folder" timeout 10 "$Q" decrypt --iv-hex $IV -o sticky/fifo-link c.bin
  check "their FIFO and link are untouched" bash -c 'test -p theirs.fifo && test -L sticky/fifo-link'
  expect 0 "with -f the link is replaced, not followed" timeout 10 "$Q" decrypt -f --iv-hex $IV -o sticky/fifo-link c.bin
  check "by a file of the user's own" test "$(stat -c %F:%a:%U sticky/fifo-link)" = "regular file:600:$(id -un)"
fi

# Standard output appended to INPUT would be read back until the disk is full.
cp plain.bin self.bin
expect 1 "encrypt INPUT >> INPUT" bash -c "timeout 10 '$Q' encrypt --iv-hex $IV self.bin >>self.bin"
said "INPUT >> INPUT" "INPUT and OUT are the same file"
expect 1 "encrypt < INPUT >> INPUT" bash -c "timeout 10 '$Q' encrypt --iv-hex $IV <self.bin >>self.bin"
check "INPUT is unchanged" cmp -s plain.bin self.bin

# Closed standard descriptors.
expect 1 "stdout closed" bash -c "'$Q' encode plain.bin >&-"
said "stdout closed" "standard output is closed"
expect 1 "stdin closed" bash -c "'$Q' encrypt --iv-hex $IV -o x1 <&-"
said "stdin closed" "standard input is closed"
check "no output from closed stdin" test ! -e x1

# Inputs without a size: pipes, FIFOs, process substitution, an offset stdin.
"$H" encrypt-stream CBC "$(printf %s "$QUORIN_KEY" | od -An -tx1 | tr -d ' \n')" $IV plain.bin stream.bin
cat plain.bin | TMPDIR=/nonexistent "$Q" encrypt --iv-hex $IV -o piped.bin
check "piped plaintext needs no temporary file, and gives EncryptStream's bytes" cmp -s stream.bin piped.bin
expect 0 "a FIFO as INPUT" bash -c "mkfifo in.fifo; cat plain.bin >in.fifo & '$Q' encrypt --iv-hex $IV -o fifo.bin in.fifo"
check "FIFO input gives the same bytes" cmp -s stream.bin fifo.bin
expect 0 "process substitution as INPUT" bash -c "'$Q' encrypt --iv-hex $IV -o subst.bin <(cat plain.bin)"
check "process substitution gives the same bytes" cmp -s stream.bin subst.bin
{ dd bs=100 count=1 of=/dev/null 2>/dev/null; "$Q" encrypt --iv-hex $IV -o offset.bin; } <plain.bin
tail -c +101 plain.bin | "$Q" encrypt --iv-hex $IV -o rest.bin
check "stdin at an offset is encrypted from there" cmp -s rest.bin offset.bin
head -c 5008 /dev/zero | "$Q" decrypt -m ecb --key-hex $KEY -o - >/dev/null 2>err.txt
said "piped garbage" "is wrong, or the file is damaged"

# Odd output paths.
ln -s missing-target dangling
expect 1 "dangling symlink at OUT" "$Q" encrypt --iv-hex $IV -o dangling plain.bin
said "dangling symlink" "symbolic link to a missing file"
expect 0 "dangling symlink at OUT with -f" "$Q" encrypt -f --iv-hex $IV -o dangling plain.bin
long=$(printf 'n%.0s' $(seq 1 250))
expect 0 "a 250-byte OUT name" "$Q" encrypt --iv-hex $IV -o "$long" plain.bin
check "the long name holds the ciphertext" cmp -s c.bin "$long"
printf old >kept.bin
chmod 0640 kept.bin
expect 0 "-f replaces a regular file" "$Q" encrypt -f --iv-hex $IV -o kept.bin plain.bin
check "the new OUT is the owner's only" test "$(stat -c %a kept.bin)" = 600

# Output that cannot be written.
if [ -e /dev/full ]; then
  for cmd in version selftest "encode plain.bin" --help --version "encrypt --help"; do
    expect 1 "$cmd into /dev/full" bash -c "'$Q' $cmd >/dev/full"
  done
fi
printf '!!!!' >bang.txt
expect 1 "decode outside the alphabet" "$Q" decode bang.txt
said "decode" "'!' at line 1, column 1"
expect 1 "decrypt -a outside the alphabet" "$Q" decrypt -a --iv-hex $IV bang.txt
printf 'ME\n  ' | "$Q" decode >ws.out
check "whitespace is still allowed around armour" test "$(cat ws.out)" = a
# Armour no encoder writes: a lone last character, or bits after the last byte.
for bad in "MK7XM:one over" "MF:beyond the last byte" "MK7:beyond the last byte" "MK7X MK7X  M:one over"; do
  expect 1 "decode of '${bad%%:*}'" "$Q" decode -o bad.out <<<"${bad%%:*}"
  said "decode of '${bad%%:*}'" "${bad#*:}"
  check "leaves no output" test ! -e bad.out
done
# encode, decode and the armour of encrypt -a and decrypt -a stream: memory
# stays flat whatever the input's size.
if [ -z "${QUORIN_TEST_UNDER_VALGRIND:-}" ]; then
  peak_kib() {  # the largest resident size of any process of a pipeline
    # (AddressSanitizer would keep up to 256 MiB of freed memory in quarantine.)
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=1 python3 -c 'import resource, subprocess, sys
subprocess.run(["bash", "-c", sys.argv[1]], check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$1"
  }
  n=$((96 << 20))  # well above the 64 MiB bound, and quick under the sanitizers
  kib=$(peak_kib "head -c $n /dev/zero | '$Q' encode | '$Q' decode | cmp - <(head -c $n /dev/zero)")
  check "96 MiB through encode and decode in under 64 MiB ($kib KiB)" test "$kib" -lt 65536
  kib=$(peak_kib "head -c $n /dev/zero | '$Q' encrypt -a --iv-hex $IV | '$Q' decrypt -a --iv-hex $IV | cmp - <(head -c $n /dev/zero)")
  check "96 MiB through encrypt -a and decrypt -a in under 64 MiB ($kib KiB)" test "$kib" -lt 65536
fi

# Signals: an inherited "ignore" stays, and no run leaves a temporary file,
# also where the file system has no unnamed files (a named one is used then).
mkfifo slow.fifo
# (A background job starts with SIGINT and SIGQUIT ignored; env restores the defaults.)
signal_runs() {  # signal_runs SIGNALS...: a run killed by each, its output in sig-*.bin
  for sig in "$@"; do
    env --default-signal "$Q" encrypt --iv-hex $IV -o "sig-$sig.bin" slow.fifo 2>/dev/null &
    pid=$!
    exec 3>slow.fifo
    printf 'partial' >&3
    sleep 0.2
    kill -s "$sig" $pid 2>/dev/null
    wait $pid 2>/dev/null
    exec 3>&-
  done
}
signal_runs TERM INT QUIT PIPE XFSZ KILL
check "signals leave neither OUT nor temporary files" bash -c '! ls -A | grep -qE "^(sig-|\.quorin-)"'
if [ -n "${QUORIN_TEST_NO_TMPFILE:-}" ]; then
  export LD_PRELOAD=$QUORIN_TEST_NO_TMPFILE ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0
  "$Q" encrypt --iv-hex $IV -o named.bin slow.fifo 2>/dev/null &
  pid=$!
  exec 3>slow.fifo
  sleep 0.2
  check "without unnamed files, the output is built in a named temporary file" bash -c 'ls -A | grep -q "^\.quorin-"'
  exec 3>&-
  wait $pid
  check "which becomes OUT" test "$(stat -c %s named.bin)" = 16
  if [ -n "${QUORIN_TEST_UNDER_VALGRIND:-}" ]; then
    signal_runs TERM USR1 PROF
  else
    signal_runs TERM INT HUP QUIT PIPE XFSZ USR1 USR2 ALRM VTALRM PROF
  fi
  check "no signal that can be caught leaves the named temporary file" bash -c '! ls -A | grep -qE "^(sig-|\.quorin-)"'
  unset LD_PRELOAD
fi
(
  trap '' HUP
  exec "$Q" encrypt --iv-hex $IV --key-hex $KEY -o nohup.bin slow.fifo
) 2>/dev/null &
pid=$!
exec 3>slow.fifo
sleep 0.2
[ -n "${QUORIN_TEST_UNDER_VALGRIND:-}" ] ||
  check "--key-hex is not in the process list" bash -c "! tr '\0' ' ' </proc/$pid/cmdline | grep -q $KEY"
kill -HUP $pid
sleep 0.2
check "an ignored SIGHUP stays ignored" kill -0 $pid
printf 'late' >&3
exec 3>&-
wait $pid
check "and the run completes" test -s nohup.bin

summary
