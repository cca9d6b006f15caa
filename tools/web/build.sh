#!/usr/bin/env bash
# Builds the game for the browser into build-web/: the page (index.html with its style and
# scripts, its manifest and icons, and its service worker sw.js, which keeps the page for
# playing offline), vextral.js, vextral.wasm, vextral.data (the sound effects) and music/
# (the tracks, fetched after start-up) at the top of it, a static folder any web server can
# serve (tools/web/serve.sh serves it here). Beneath it: deps/ (SDL2, libpng, zlib, FreeType,
# libogg and libvorbis built with Emscripten from Debian's sources, by
# tools/cross/build-deps.sh), host/ (the native asset generator and resource embedder the
# build runs, and vextral-sim; or the native build VEXTRAL_HOST_TOOLS names) and wasm/ (the game's build with Emscripten). A second run builds only what
# changed.
#
#   tools/web/build.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tools/install-deps.sh --web

out=$root/build-web
jobs=${VEXTRAL_JOBS:-2}
# Debian's Emscripten finds its JavaScript parser among Debian's node modules.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

prefix=$(tools/cross/build-deps.sh web "$out" | tail -n 1)

# vextral-sim replays the games the page offers for download (the browser test does).
host=$(tools/cross/build-host-tools.sh "$out/host" vextral-sim)

echo "== build-web/wasm: the game with Emscripten"
# CMake keeps the libraries pkg-config found in its cache: libraries built anew (another
# prefix) are configured afresh, or the game would link the old ones.
fresh=()
[ "$(cat "$out/wasm/.libraries" 2>/dev/null)" = "$prefix" ] || fresh=(--fresh)
# pkg-config finds only the libraries built for the browser.
PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH='' \
  emcmake cmake "${fresh[@]}" -S . -B "$out/wasm" -DCMAKE_BUILD_TYPE=Release \
  -DVEXTRAL_WERROR=ON -DCMAKE_FIND_ROOT_PATH="$prefix" -DVEXTRAL_HOST_TOOLS="$host" >/dev/null
echo "$prefix" >"$out/wasm/.libraries"
cmake --build "$out/wasm" -j "$jobs" --target vextral vextral_web_icons

for file in vextral.js vextral.wasm vextral.data; do
  cp -p "$out/wasm/game/$file" "$out/$file"
done
# The music, fetched by the game once it has started.
mkdir -p "$out/music"
cp -p "$out"/wasm/resources/assets/data/?_track.ogg "$out/music/"
for size in 192 512; do
  cp -p "$out/wasm/resources/icon/$size/vextral.png" "$out/icon-$size.png"
done
for file in page.css page.js screen.js touch.js hall.js offline.js manifest.webmanifest; do
  cp -p "tools/web/$file" "$out/$file"
done
# index.html and sw.js, written last: they name the build and the files it is made of.
build=$(tools/web/stamp.py "$out")
echo "build-web/: the page, build $build (tools/web/serve.sh serves it)"
