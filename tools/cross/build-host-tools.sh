#!/usr/bin/env bash
# Builds, for this machine, the programs a cross build runs (the asset generator and the
# embedding tool) and the extra targets named, and prints the build folder. That folder is
# VEXTRAL_HOST_TOOLS when set (./test.sh names its own build/, already configured), else
# FOLDER, configured here as a small release build.
#
#   tools/cross/build-host-tools.sh FOLDER [TARGET...]
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 FOLDER [TARGET...]" >&2; exit 2; }
cd "$(dirname "$0")/../.."
folder=${VEXTRAL_HOST_TOOLS:-$1}
shift
if [ -z "${VEXTRAL_HOST_TOOLS:-}" ]; then
  echo "== $folder: the build's own programs" >&2
  cmake -S . -B "$folder" -DCMAKE_BUILD_TYPE=Release -DVEXTRAL_BUILD_TESTS=OFF \
    -DVEXTRAL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$folder" -j "${VEXTRAL_JOBS:-2}" --target vextral-assetgen vextral_embed_tool "$@" >&2
(cd "$folder" && pwd)
