#!/usr/bin/env bash
# Shows the game running on a machine without a display: a scripted player drives the
# real game on a private Xvfb for about 15 seconds (longer on a busy machine: each step
# waits to see the game react) and leaves screenshots and the game's audio in a folder.
# Usage: tools/demo.sh [game executable] [output folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="${1:-$root/build/game/vextral}"
output="${2:-$root/build/demo}"
if [ ! -x "$game" ]; then
  echo "demo: $game is not built" >&2
  exit 1
fi
for tool in Xvfb xdotool import python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "demo: $tool is missing (tools/install-deps.sh --demo installs it)" >&2
    exit 1
  fi
done
echo "demo: playing the game on a virtual display; screenshots and audio go to $output"
exec "$root/tools/with-xvfb.sh" python3 -B "$root/tools/demo.py" --game "$game" --output "$output"
