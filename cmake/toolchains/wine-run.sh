#!/bin/sh
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
for dir in $(command -v wine64 wine | xargs -r -n1 dirname) /usr/lib/wine; do
  if [ -x "$dir/wineserver" ] && [ -x "$dir/wine64" ]; then
    (
      flock 9
      # Status 2: a server runs already.
      if "$dir/wineserver" -p60 </dev/null >/dev/null 2>&1 9>&-; then
        WINEDEBUG=-all "$dir/wine64" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
      fi
    ) 9>"${TMPDIR:-/tmp}/quorin-wine-$(id -u).lock"
    exec "$dir/wine64" "$@"
  fi
done
echo "wine-run.sh: no wine64 and wineserver found" >&2
exit 127
