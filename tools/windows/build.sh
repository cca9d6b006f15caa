#!/usr/bin/env bash
# Builds Vextral for 64-bit Windows with Debian's mingw-w64, in one go:
#
#   tools/windows/build.sh [--no-tests] [--no-packages]
#
# makes build-windows/ with vextral.exe (no console window), vextral-sim.exe, data/, the
# test executables (listed in cross-tests.txt), Vextral-<version>-windows.zip and
# Vextral-<version>-setup.exe. Everything is linked statically: no DLL ships.
#
# On the way: the libraries, built once from Debian's sources (tools/cross/build-deps.sh,
# into build-windows/deps), and a build for this machine (tools/cross/build-host-tools.sh:
# build-windows/host, or the folder VEXTRAL_HOST_TOOLS names) of the programs the build
# runs (the asset generator, the embedding tool), and of the Linux vextral-sim and vextral
# that the Windows end-to-end case replays a recording in and times the start-up against.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/build-windows
jobs=${VEXTRAL_JOBS:-2}
tests=ON
packages=1
for argument in "$@"; do
  case "$argument" in
    --no-tests) tests=OFF ;;
    --no-packages) packages=0 ;;
    *)
      echo "usage: $0 [--no-tests] [--no-packages]" >&2
      exit 2
      ;;
  esac
done
export VEXTRAL_JOBS=$jobs

tools/install-deps.sh --windows

echo "== build-windows/deps: the libraries"
prefix=$(tools/cross/build-deps.sh windows "$out" | tail -n1)

host=$(tools/cross/build-host-tools.sh "$out/host" vextral-sim vextral)

# Every linked library's licence goes with the game.
licence=$out/LICENSE.txt
{
  cat packaging/copyright
  for notice in "libsdl2-*/LICENSE.txt|SDL2" "libpng1.6-*/LICENSE|libpng" \
    "freetype-*/docs/FTL.TXT|FreeType" "libogg-*/COPYING|libogg" "libvorbis-*/COPYING|libvorbis"; do
    pattern=${notice%|*}
    # shellcheck disable=SC2086
    file=$(ls $out/deps/src/$pattern 2>/dev/null | head -n1)
    [ -n "$file" ] || continue
    printf '\n\n==== %s (linked into vextral.exe) ====\n\n' "${notice#*|}"
    cat "$file"
  done
  printf '\n\n==== zlib (linked into vextral.exe) ====\n\n'
  cat /usr/share/doc/libz-mingw-w64-dev/copyright
  printf '\n\n==== MinGW-w64 runtime and winpthreads (linked into vextral.exe) ====\n\n'
  cat /usr/share/doc/mingw-w64-common/copyright
} >"$licence.new"
mv "$licence.new" "$licence"

# Optimised as the Linux build, without debugging information: the shipped program is
# stripped anyway, and the many test executables link in a fraction of the time.
echo "== build-windows/: the game"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-w64.cmake" \
  -DVEXTRAL_CROSS_PREFIX="$prefix" -DVEXTRAL_HOST_TOOLS="$host" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DVEXTRAL_WERROR=ON -DVEXTRAL_BUILD_TESTS=$tests \
  -DVEXTRAL_BUILD_BENCH=OFF -DVEXTRAL_LICENSE_FILE="$licence" >/dev/null
cmake --build "$out" -j "$jobs"
if [ $packages -eq 1 ]; then
  cmake --build "$out" --target vextral_zip vextral_installer
  ls -l "$out"/Vextral-*-windows.zip "$out"/Vextral-*-setup.exe
fi
