#!/usr/bin/env bash
# Takes the screenshot the README shows (docs/screenshot.png) from the built game, played
# by a script on a private 640 x 480 Xvfb. The game runs from a copy with a data folder of
# its own, so the player's saves are left alone.
# Usage: tools/screenshot.sh [game executable] [output PNG]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
game="${1:-$root/build/game/vextral}"
output="${2:-$root/docs/screenshot.png}"
if [ ! -x "$game" ]; then
  echo "screenshot: $game is not built" >&2
  exit 1
fi
for tool in Xvfb xdotool import convert python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "screenshot: $tool is missing (tools/install-deps.sh --demo installs it)" >&2
    exit 1
  fi
done
exec "$root/tools/with-xvfb.sh" --screen 640x480x24 \
  python3 -B "$root/tools/screenshot.py" --game "$game" --output "$output"
