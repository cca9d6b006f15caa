#!/usr/bin/env bash
# Installs what building and playing need (nothing for testing), builds the game into
# build/ and starts it. On a machine without a display (neither DISPLAY nor
# WAYLAND_DISPLAY set) it plays a short demonstration instead, installing what that needs
# too (tools/install-deps.sh --demo): the game on a virtual display, played by a script,
# leaving screenshots and the audio in build/demo/. Each step is announced on one line.
set -euo pipefail
cd "$(dirname "$0")"
say() { echo "play.sh: $*"; }
demo=
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  demo=yes
  say "no display here (DISPLAY and WAYLAND_DISPLAY are unset): a script will play the game on a virtual display"
  say "installing what is missing for building and for the demonstration (tools/install-deps.sh --demo)"
  tools/install-deps.sh --demo
else
  say "installing what is missing for building and playing (tools/install-deps.sh)"
  tools/install-deps.sh
fi
say "building the game into build/ (the first build takes a few minutes)"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target vextral >/dev/null
if [ ! -x build/game/vextral ]; then
  say "the game executable is not built (build/game/vextral is missing)." >&2
  exit 1
fi
if [ -n "$demo" ]; then
  say "playing the demonstration (about 15 seconds, longer on a busy machine); screenshots and audio go to build/demo/"
  exec tools/demo.sh "$PWD/build/game/vextral" "$PWD/build/demo"
fi
say "starting the game"
exec build/game/vextral "$@"
