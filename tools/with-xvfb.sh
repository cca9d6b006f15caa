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
Xvfb -displayfd 3 -screen 0 "$screen" +extension GLX -nolisten tcp 3>"$fd_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; rm -f "$fd_file"' EXIT
for _ in $(seq 1 100); do
  [ -s "$fd_file" ] && break
  sleep 0.05
done
if [ ! -s "$fd_file" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$(head -n1 "$fd_file")"
export LIBGL_ALWAYS_SOFTWARE=1
"$@"
