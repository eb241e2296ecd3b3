#!/bin/bash
# The Windows build's emulator: runs a Windows program under Wine.
#
# Debian's Wine starts its server to end the moment its last program ends.
# Programs run back to back, two at a time (a build's test discovery, a test
# run), then keep starting servers while the previous one is ending, and now
# and then one is cut off ("wine client error:0: recvmsg: Connection reset by
# peer") and its test fails. So the server is started here, to stay 60 s
# after its last program.
#
# A new server's Windows services start with its first program and keep
# that program's output open for as long as they run: a caller reading the
# output to its end would wait for the server to end. So a new server's
# first program is one whose output goes nowhere, under a lock that makes
# every other program wait until the services are up.
#
# Now and then Wine cannot start a program at all: the address it reserves
# for the shared user data is taken ("failed to map the shared user data:
# c0000018"), before anything of the program ran. That start, and only that
# one, is tried again (twice at most); what the program writes to standard
# error passes through unchanged.
for dir in $(command -v wine64 wine | xargs -r -n1 dirname) /usr/lib/wine; do
  if [ -x "$dir/wineserver" ] && [ -x "$dir/wine64" ]; then
    (
      flock 9
      # Status 2: a server runs already.
      if "$dir/wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
        WINEDEBUG=-all "$dir/wine64" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
      fi
    ) 9>"${TMPDIR:-/tmp}/quorin-wine-$(id -u).lock"
    errors=$(mktemp)
    for attempt in 1 2 3; do
      "$dir/wine64" "$@" 2> >(tee "$errors" >&2)
      status=$?
      wait $!  # for tee to have written everything
      if [ "$status" -ne 0 ] && [ "$attempt" -lt 3 ] &&
         grep -q "failed to map the shared user data" "$errors"; then
        continue
      fi
      rm -f "$errors"
      exit "$status"
    done
  fi
done
echo "wine-run.sh: no wine64 and wineserver found" >&2
exit 127
