#!/usr/bin/env bash
# Every relative link of the README and of docs/ names a file that exists.
set -uo pipefail
root=$(realpath "$1")
bad=0
for doc in "$root"/README.md "$root"/docs/*.md; do
  dir=$(dirname "$doc")
  while IFS= read -r target; do
    target=${target%%#*}
    [ -z "$target" ] && continue
    [ -e "$dir/$target" ] || { echo "FAIL ${doc#"$root"/}: no $target"; bad=1; }
  done < <(grep -o '](\([^)]*\))' "$doc" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:')
done
[ $bad -eq 0 ] && echo "ok   every relative link of the README and docs/ resolves"
exit $bad
