#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the game. On a machine
# without a display (neither DISPLAY nor WAYLAND_DISPLAY set) it runs a short
# demonstration instead: the game on a virtual display, played by a script, leaving
# screenshots and the audio in build/demo/.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
if [ ! -x build/game/vextral ]; then
  echo "play.sh: the game executable is not built yet (build/game/vextral is missing)." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "play.sh: no display here (DISPLAY and WAYLAND_DISPLAY are unset), so the game"
  echo "play.sh: runs on a virtual display, played by a script for about 20 seconds."
  exec tools/demo.sh "$PWD/build/game/vextral" "$PWD/build/demo"
fi
exec build/game/vextral "$@"
