# Shared by the command-line tests: counted checks with readable output.
passes=0 failures=0
ok() { echo "ok   $1"; passes=$((passes + 1)); }
bad() { echo "FAIL $1"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then ok "$what"; else bad "$what"; fi; }
# expect CODE "description" command...: the exit code, with stderr kept in err.txt
expect() {
  local code=$1 what=$2; shift 2
  "$@" >out.txt 2>err.txt
  local got=$?
  if [ "$got" -eq "$code" ]; then ok "$what (exit $code)"; else bad "$what: exit $got, expected $code: $(cat err.txt)"; fi
}
said() { check "$1 says '$2'" grep -q -- "$2" err.txt; }
summary() {
  echo "checks: $passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
