#!/usr/bin/env bash
# Installs what building and playing need (nothing for testing), builds the game into
# build/ and starts it. On a machine without a display (neither DISPLAY nor
# WAYLAND_DISPLAY set) it runs a short demonstration instead when the demonstration's
# tools are present (tools/install-deps.sh --demo): the game on a virtual display, played
# by a script, leaving screenshots and the audio in build/demo/.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vextral >/dev/null
if [ ! -x build/game/vextral ]; then
  echo "play.sh: the game executable is not built yet (build/game/vextral is missing)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "play.sh: no display here (DISPLAY and WAYLAND_DISPLAY are unset)."
  for tool in Xvfb xdotool import python3; do
    if ! command -v "$tool" >/dev/null; then
      echo "play.sh: the game is built (build/game/vextral). To watch it played by a script on"
      echo "play.sh: a virtual display, run tools/install-deps.sh --demo, then ./play.sh again."
      exit 0
    fi
  done
  echo "play.sh: the game runs on a virtual display, played by a script for about 20 seconds."
  exec tools/demo.sh "$PWD/build/game/vextral" "$PWD/build/demo"
fi
exec build/game/vextral "$@"
