#!/bin/sh
# The Windows build's emulator: runs a Windows program under Wine.
#
# Debian's Wine starts its server to end the moment its last program ends.
# Programs run back to back, two at a time (a build's test discovery, a test
# run), then keep starting servers while the previous one is ending, and now
# and then one is cut off ("wine client error:0: recvmsg: Connection reset by
# peer") and its test fails. The server started here stays 60 s after its
# last program; when a server is running already, this starts none (and
# the call says so with status 2).
for dir in $(command -v wine64 wine | xargs -r -n1 dirname) /usr/lib/wine; do
  if [ -x "$dir/wineserver" ] && [ -x "$dir/wine64" ]; then
    "$dir/wineserver" -p60 || true
    exec "$dir/wine64" "$@"
  fi
done
echo "wine-run.sh: no wine64 and wineserver found" >&2
exit 127
