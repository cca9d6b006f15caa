#!/usr/bin/env bash
# Runs a command against a private Xvfb server on a free display number, then
# stops the server. Usage: with-xvfb.sh [--screen WxHxD] command args...
set -euo pipefail
screen=640x480x24
if [ "${1:-}" = "--screen" ]; then
  screen=$2
  shift 2
fi
fd_file=$(mktemp)
# -noreset: the server would otherwise reset itself (GLX included) whenever its last client
# leaves, e.g. a short-lived xdotool just before the game connects, and the game would race
# the reset.
Xvfb -displayfd 3 -screen 0 "$screen" +extension GLX -nolisten tcp -noreset 3>"$fd_file" \
  >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -f "$fd_file"' EXIT
# The server writes its display number once it accepts clients; on a loaded machine that
# can take a while.
for _ in $(seq 1 600); do
  [ -s "$fd_file" ] && break
  kill -0 $xvfb_pid 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$fd_file" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$fd_file")"
export LIBGL_ALWAYS_SOFTWARE=1
# No session bus here: without an address, SDL's D-Bus client forks a helper to start one.
# Forked while the game's prefetch thread holds AddressSanitizer's allocator lock, that child
# blocks for ever before it can exec, and the game waits on it without opening a window.
export DBUS_SESSION_BUS_ADDRESS=${DBUS_SESSION_BUS_ADDRESS:-unix:path=/nonexistent/vextral-bus}
"$@"
