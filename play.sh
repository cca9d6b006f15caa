#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts the game.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" >/dev/null
if [ -x build/game/vextral ]; then
  exec build/game/vextral "$@"
fi
echo "play.sh: the game executable is not built yet (build/game/vextral is missing)." >&2
exit 1
