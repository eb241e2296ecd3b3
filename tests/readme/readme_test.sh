#!/usr/bin/env bash
# The README works as written. Its lines are taken from the README itself,
# so that a command that stops working, or an example that no longer runs,
# fails here.
#
#   readme_test.sh examples BINDIR   the tool's examples (the README's "Seal
#                                    and open" and docs/cli.md), run in a scratch
#                                    folder with BINDIR's quorin, through a
#                                    terminal (script) that types passphrases
#   readme_test.sh setup             the two set-up commands and the install
#                                    lines, in a fresh clone in a scratch
#                                    folder with a scratch HOME
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
readme=$repo/README.md
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The shell lines of the code blocks in the section of file $2 titled $1
# (every block of the file with an empty title).
blocks_of() {
  awk -v title="$1" '
    title != "" && /^## / { inside = ($0 == title) }
    (title == "" || inside) && /^```sh$/ { code = 1; next }
    code && /^```$/ { code = 0; next }
    code { print }' "$2"
}

fail() {
  echo "FAIL $1"
  exit 1
}

examples() {
  local bindir=$1
  local lines
  lines=$(blocks_of '## Seal and open' "$readme"; blocks_of '' "$repo/docs/cli.md")
  [ -n "$lines" ] || fail "no examples found in the README and docs/cli.md"
  cd "$work" || exit 1
  # The libraries where the README's install lines put them.
  mkdir -p home/.local && ln -s "$bindir/../lib" home/.local/lib
  # What the examples work on.
  head -c 20000 /dev/urandom >report.pdf
  head -c 3000 /dev/urandom >in.dat
  head -c 16 /dev/urandom >key.bin
  printf 'data to authenticate\n' >data.bin
  head -c 500 /dev/urandom >bytes.bin
  mkdir photos && head -c 5000 /dev/urandom >photos/one.jpg
  head -c 7000 /dev/urandom >plan.txt
  printf 'meet at noon\n' >notes.txt
  {
    echo 'set -e'
    echo 'trap '\''echo "README example failed: $BASH_COMMAND"'\'' ERR'
    echo "$lines"
    echo 'echo "README examples: all ran"'
  } >examples.sh
  # Six passphrases are typed: each seal asks twice, each open once.
  printf 'readme pass\nreadme pass\nreadme pass\nreadme pass\nreadme pass\nreadme pass\n' |
    HOME="$work/home" PATH="$bindir:$PATH" script -qec "bash examples.sh" /dev/null >log.txt 2>&1
  local code=$?
  if [ $code -ne 0 ] || ! grep -q "README examples: all ran" log.txt; then
    cat log.txt
    fail "the README's tool examples (exit $code)"
  fi
  cmp -s report.pdf opened.pdf || fail "the sealed report did not open to itself"
  cmp -s plan.txt plan-copy.txt || fail "the plan sealed for a recipient did not open to itself"
  cmp -s report.pdf decrypted.pdf || fail "the encrypted report did not decrypt to itself"
  cmp -s notes.txt notes-copy.txt || fail "the README's sealed notes did not open to themselves"
  echo "ok   the $(grep -c . <<<"$lines") tool example lines of the README and docs/cli.md run as written"
}

setup() {
  local commands install
  commands=$(awk '/^```sh$/ { code = 1; next } code && /^```$/ { exit } code { print }' "$readme")
  [ "$(grep -c . <<<"$commands")" -eq 2 ] || fail "the README does not open with two commands"
  local first second
  first=$(sed -n 1p <<<"$commands")
  second=$(sed -n 2p <<<"$commands")
  grep -qxF "$second" <(sed -n 's/^ *//; s/ 2>&1 | tee .*//p' "$repo/.ci/run") ||
    fail "CI does not run the README's test command as written: $second"
  install=$(awk '/^To install /{ found = 1 } found && /^```sh$/ { code = 1; next }
                 code && /^```$/ { exit } code { print }' "$readme")
  [ -n "$install" ] || fail "no install lines found in the README"

  git clone -q "$repo" "$work/quorin" || fail "cannot clone $repo"
  mkdir "$work/home"
  cd "$work/quorin" || exit 1
  export HOME=$work/home
  echo "== $first"
  bash -ec "$first" >"$work/first.log" 2>&1 || { tail -n 30 "$work/first.log"; fail "the first set-up command"; }
  grep -q "demo: all good" "$work/first.log" ||
    { tail -n 30 "$work/first.log"; fail "the demo did not run to its end"; }
  echo "ok   the first set-up command, as written"
  echo "== the install lines"
  bash -ec "$install" >"$work/install.log" 2>&1 || { tail -n 30 "$work/install.log"; fail "the install lines"; }
  echo "ok   the install lines, as written"
  # What the README says an installation gives: completion found by itself.
  if [ -f /usr/share/bash-completion/bash_completion ]; then
    bash -c 'source /usr/share/bash-completion/bash_completion
             __load_completion quorin && complete -p quorin' >/dev/null 2>&1 ||
      fail "bash completion does not find quorin's completion under ~/.local"
    echo "ok   bash completion finds quorin's under ~/.local"
  fi
}

case "${1:-}" in
  examples) examples "$2" ;;
  setup) setup ;;
  *) echo "usage: $0 examples BINDIR | setup" >&2; exit 2 ;;
esac
