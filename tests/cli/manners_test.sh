#!/usr/bin/env bash
# The tools' manuals and shell completion: the man pages render without a
# warning and agree with --help, and bash completes every subcommand and each
# one's options.
# Usage: manners_test.sh SOURCE_DIR QUORIN
set -u
src=$1 quorin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
. "$src/tests/cli/checks.sh"

for page in quorin quorin-palette; do
  if command -v man >/dev/null; then
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$src/docs/man/$page.1" >page.txt 2>err.txt
    check "man page of $page renders" test -s page.txt
    check "man page of $page renders without warnings" test ! -s err.txt
  fi
done

check "quorin's man page and --help list the same options" \
  python3 "$src/tests/cli/manual_matches_help.py" "$src/docs/man/quorin.1" "$quorin"

# complete WORDS...: what bash completion offers for the last word.
complete_words() {
  bash -c '
    source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    fn=$(complete -p "$1" | sed -E "s/.*-F ([^ ]+) .*/\1/")
    "$fn" "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$@"
}
offers() {  # offers "description" EXPECTED WORDS...
  local what=$1 want=$2; shift 2
  check "$what" bash -c 'grep -qx -- "$1" <<<"$2"' _ "$want" "$(complete_words "$@")"
}
Q="$src/tools/completion/quorin" P="$src/tools/completion/quorin-palette"
touch input.bin
check "quorin's completion registers" bash -c "source '$Q'; complete -p quorin | grep -q _quorin"
for cmd in seal open keygen encrypt decrypt mac encode decode selftest version --version; do
  offers "quorin completes $cmd" "$cmd" "$Q" quorin "${cmd:0:2}"
done
for opt in --mode --key-size --key-file --key-env --key-hex --iv-hex --iv-file --armour --output --force --progress --no-progress; do
  offers "encrypt completes $opt" "$opt" "$Q" quorin encrypt "${opt:0:4}"
done
for opt in --passphrase-file --passphrase-env --key-file --mode --key-size --cost --output --force; do
  offers "seal completes $opt" "$opt" "$Q" quorin seal "${opt:0:6}"
done
# Every option --help lists, and no other, is what completion offers after "-".
for cmd in seal open keygen encrypt decrypt mac encode decode selftest version; do
  helped=$("$quorin" "$cmd" --help | grep -E '^ +-' | sed -E 's/^ +([-a-zA-Z,]+).*/\1/' | tr ',' '\n' | sort -u)
  completed=$(complete_words "$Q" quorin "$cmd" - | sort -u)
  check "$cmd: completion offers exactly the options of --help" test "$helped" = "$completed"
done
offers "files after -R" input.bin "$Q" quorin seal -R inp
offers "versions after --format" 1 "$Q" quorin seal --format ""
offers "open completes --passphrase-file" --passphrase-file "$Q" quorin open --passphrase-f
check "open offers no --cost" bash -c '! grep -q cost <<<"$1"' _ "$(complete_words "$Q" quorin open --c)"
offers "seal's modes leave out ecb" cbc "$Q" quorin seal -m c
offers "costs after --cost" interactive "$Q" quorin seal --cost i
offers "mac completes --key-hex" --key-hex "$Q" quorin mac --key-h
check "mac offers no --key-env" bash -c '! grep -q key-env <<<"$1"' _ "$(complete_words "$Q" quorin mac --key)"
offers "decode completes --force" --force "$Q" quorin decode --f
offers "modes after -m" cfb "$Q" quorin encrypt -m c
offers "key sizes after -s" 192 "$Q" quorin decrypt -s 1
offers "files as INPUT" input.bin "$Q" quorin encrypt inp
for cmd in list bitmap form-new form-show; do
  offers "quorin-palette completes $cmd" "$cmd" "$P" quorin-palette "${cmd:0:3}"
done
offers "form-new completes --set" --set "$P" quorin-palette form-new --s

summary
