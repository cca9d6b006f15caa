#!/usr/bin/env bash
# Builds the libraries the game links (SDL2, libpng, FreeType, libogg, libvorbis, and zlib
# where the target has none) and GoogleTest for another system, from Debian's source packages of the very versions the
# Linux build uses, so both builds play by the same code.
#
#   tools/cross/build-deps.sh TARGET [BUILD_FOLDER]
#
# TARGET is "windows" (64-bit, Debian's mingw-w64; zlib comes from libz-mingw-w64-dev) or
# "web" (WebAssembly with Debian's Emscripten, single-threaded; zlib from Debian's source
# too; no GoogleTest).
# Everything goes to BUILD_FOLDER/deps (default build-TARGET/deps at the top of the work
# tree): the sources under src/, the installed libraries in a prefix whose name carries
# the versions and the compiler's, each library stamped once built, so a second run finds
# them and takes a second (delete the deps folder after changing how one is built). The
# prefix is printed as the last line of standard output.
#
# When the archive no longer serves the installed Debian revision (a security update
# replaced it), the newest revision of the same upstream version is built, and said.
#
# Sources come through apt with a private configuration under deps/apt (deb-src entries
# made from the machine's own deb entries); the machine's apt configuration is never
# touched.
set -euo pipefail
shopt -s inherit_errexit

usage() {
  echo "usage: $0 windows|web [BUILD_FOLDER]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
target=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
build_folder=${2:-$root/build-$target}
mkdir -p "$build_folder"
work=$(cd "$build_folder" && pwd)/deps
jobs=${VEXTRAL_JOBS:-2}

case "$target" in
  windows)
    host=x86_64-w64-mingw32
    toolchain=$root/cmake/toolchain-mingw-w64.cmake
    export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-gcc-ar-posix \
      RANLIB=$host-gcc-ranlib-posix RC=$host-windres
    ;;
  web)
    host=wasm32-unknown-emscripten
    # Debian's Emscripten finds its JavaScript parser among Debian's node modules.
    export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
    export CC=emcc CXX=em++ AR=emar RANLIB=emranlib
    ;;
  *) usage ;;
esac

# The Linux build's packages, whose source packages are built here.
binary_packages=(libsdl2-dev libpng-dev libfreetype-dev libogg-dev libvorbis-dev)
[ "$target" = web ] && binary_packages+=(zlib1g-dev)
declare -A version source_name
for package in "${binary_packages[@]}"; do
  if ! line=$(dpkg-query -W -f='${source:Package} ${Version}' "$package" 2>/dev/null); then
    echo "build-deps: $package is not installed (tools/install-deps.sh)" >&2
    exit 1
  fi
  source_name[$package]=${line% *}
  version[$package]=${line#* }
done
gtest_version=$(dpkg-query -W -f='${Version}' libgtest-dev 2>/dev/null || echo none)

key=$({
  for package in "${binary_packages[@]}"; do echo "$package ${version[$package]}"; done
  [ "$target" = web ] || echo "gtest $gtest_version"
  $CXX --version | head -n1
  # How they are built: changing this script or a patch builds them again.
  sha256sum <"$0"
  cat "$root"/tools/cross/patches/*.patch | sha256sum
} | sha256sum | cut -c1-12)
prefix=$work/$target-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# ---- Sources: apt-get source with a private configuration ----

apt_dir=$work/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
for sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$sources" ] || continue
  sed 's/^Types:.*/Types: deb-src/' "$sources" >"$apt_dir/sources.list.d/$(basename "$sources")"
done
apt_options=(
  -o Dir::Etc::SourceList=/dev/null
  -o Dir::Etc::SourceParts="$apt_dir/sources.list.d"
  -o Dir::State::Lists="$apt_dir/lists"
  -o Dir::Cache="$apt_dir/cache"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=
  -o APT::Sandbox::User=root
)
source_dir=$work/src
mkdir -p "$source_dir"
lists_fresh=0
fetch_source() {  # binary-package -> prints the unpacked source folder
  local name=${source_name[$1]} wanted=${version[$1]}
  local upstream=${wanted#*:}
  upstream=${upstream%-*}
  local folder=$source_dir/$name-${upstream#*:}
  if [ ! -f "$folder/.unpacked" ]; then
    if [ $lists_fresh -eq 0 ]; then
      apt-get "${apt_options[@]}" -q update >&2
      lists_fresh=1
    fi
    local served
    served=$(apt-cache "${apt_options[@]}" showsrc "$name" 2>/dev/null |
      sed -n 's/^Version: //p' | sort -u)
    # The installed revision first, then the other revisions of the same upstream version,
    # newest first: a mirror may list a revision it cannot serve.
    local candidates
    candidates=$({
      grep -xF "$wanted" <<<"$served" || true
      grep -F "$upstream-" <<<"$served" | grep -vxF "$wanted" | sort -rV || true
    })
    local fetched=""
    for candidate in $candidates; do
      rm -rf "$folder"
      if (cd "$source_dir" &&
        apt-get "${apt_options[@]}" -q source --only-source "$name=$candidate" >&2); then
        fetched=$candidate
        break
      fi
    done
    if [ -z "$fetched" ]; then
      echo "build-deps: no source of $name $upstream could be fetched (listed: $served)" >&2
      exit 1
    fi
    [ "$fetched" = "$wanted" ] ||
      echo "build-deps: $name $wanted is no longer served; building $fetched" >&2
    wanted=$fetched
    echo "$wanted" >"$folder/.unpacked"
  fi
  echo "$folder"
}

# ---- Builds ----

mkdir -p "$prefix"
build_root=$work/build-$key
mkdir -p "$build_root"
export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig:/usr/$host/lib/pkgconfig PKG_CONFIG_PATH=
if [ "$target" = web ]; then
  # emcmake runs CMake with Emscripten's toolchain file, which searches only the roots named
  # here; emconfigure and emmake take pkg-config's path from EM_PKG_CONFIG_PATH.
  export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig EM_PKG_CONFIG_PATH=$prefix/lib/pkgconfig
  cmake_command=(emcmake cmake -DCMAKE_FIND_ROOT_PATH="$prefix")
else
  cmake_command=(cmake -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXTRAL_CROSS_PREFIX="$prefix")
fi

cmake_build() {  # name source-folder cmake-options...
  local name=$1 source=$2
  shift 2
  [ -f "$prefix/.built-$name" ] && return
  echo "build-deps: $name" >&2
  rm -rf "${build_root:?}/$name"
  "${cmake_command[@]}" -S "$source" -B "$build_root/$name" -G "Unix Makefiles" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -Wno-dev "$@" >"$build_root/$name.log" 2>&1 ||
    { tail -n 30 "$build_root/$name.log" >&2; exit 1; }
  { cmake --build "$build_root/$name" -j "$jobs" && cmake --install "$build_root/$name"; } \
    >>"$build_root/$name.log" 2>&1 || { tail -n 30 "$build_root/$name.log" >&2; exit 1; }
  touch "$prefix/.built-$name"
}

configure_build() {  # name source-folder configure-options...
  local name=$1 source=$2
  shift 2
  [ -f "$prefix/.built-$name" ] && return
  echo "build-deps: $name" >&2
  rm -rf "${build_root:?}/$name"
  mkdir -p "$build_root/$name"
  (cd "$build_root/$name" &&
    "$source/configure" --host=$host --prefix="$prefix" --disable-shared --enable-static \
      "$@" && make -j "$jobs" && make install) >"$build_root/$name.log" 2>&1 ||
    { tail -n 30 "$build_root/$name.log" >&2; exit 1; }
  touch "$prefix/.built-$name"
}

sdl_source=$(fetch_source libsdl2-dev)
# Mends to SDL (tools/cross/patches/sdl2-*.patch), each applied once to the unpacked source.
# The browser's pads took their instance ids from a count of their own, which the virtual
# joystick's ids (the page's touch controls) collided with: opening one opened the other.
for sdl_patch in "$root"/tools/cross/patches/sdl2-*.patch; do
  patch -d "$sdl_source" -p1 -R -s -f --dry-run <"$sdl_patch" >/dev/null 2>&1 ||
    patch -d "$sdl_source" -p1 -s -f <"$sdl_patch" >&2
done
png_source=$(fetch_source libpng-dev)
freetype_source=$(fetch_source libfreetype-dev)
ogg_source=$(fetch_source libogg-dev)
vorbis_source=$(fetch_source libvorbis-dev)

# Only what the game calls: windows, OpenGL contexts, events, audio, joysticks (the virtual
# one needs HIDAPI), timers, opening a web address. SDL's own 2D renderer, haptics, sensors,
# power, locale and Vulkan are left out: a shorter build.
sdl_options=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_RENDER=OFF -DSDL_HAPTIC=OFF
  -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF -DSDL_VULKAN=OFF -DSDL_RENDER_D3D=OFF)
if [ "$target" = web ]; then
  # zlib's own configure (Debian's source lacks the Windows files its CMake build lists).
  zlib_source=$(fetch_source zlib1g-dev)
  if [ ! -f "$prefix/.built-zlib" ]; then
    echo "build-deps: zlib" >&2
    rm -rf "${build_root:?}/zlib"
    mkdir -p "$build_root/zlib"
    (cd "$build_root/zlib" && emconfigure "$zlib_source/configure" --static --prefix="$prefix" &&
      emmake make -j "$jobs" libz.a && emmake make install) >"$build_root/zlib.log" 2>&1 ||
      { tail -n 30 "$build_root/zlib.log" >&2; exit 1; }
    touch "$prefix/.built-zlib"
  fi
  # No threads on the web: SDL's audio is fed from the browser's audio callback.
  cmake_build sdl2 "$sdl_source" "${sdl_options[@]}" -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF
else
  cmake_build sdl2 "$sdl_source" "${sdl_options[@]}"
fi
# The game has its own main() and picks its subsystem per executable: neither SDL's main()
# nor the GUI subsystem goes into every link, and main keeps its name.
sed -i -e 's/ *-lSDL2main//g' -e 's/ *-mwindows//g' -e 's/ *-Dmain=SDL_main//g' \
  "$prefix/lib/pkgconfig/sdl2.pc"

png_options=()
# Emscripten calls its processor x86, which would bring in libpng's SSE code.
[ "$target" = web ] && png_options+=(-DPNG_HARDWARE_OPTIMIZATIONS=OFF)
cmake_build png "$png_source" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_EXECUTABLES=ON "${png_options[@]}"

# zlib is the system's, or the one built above (FreeType's own copy would clash with it in
# one link).
cmake_build freetype "$freetype_source" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
  -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

if [ "$target" = web ]; then
  # Their configure scripts predate Emscripten's system name; their CMake builds know it,
  # but CMake cannot read type sizes out of WebAssembly objects: wasm32's are given.
  type_sizes=()
  for pair in INT16:2 UINT16:2 U_INT16:2 INT32:4 UINT32:4 U_INT32:4 INT64:8 SHORT:2 INT:4 \
    LONG:4 LONG_LONG:8; do
    type_sizes+=(-DHAVE_${pair%:*}_SIZE=TRUE -D${pair%:*}_SIZE=${pair#*:})
  done
  cmake_build ogg "$ogg_source" -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF "${type_sizes[@]}"
  cmake_build vorbis "$vorbis_source" -DBUILD_TESTING=OFF
else
  configure_build ogg "$ogg_source"
  configure_build vorbis "$vorbis_source" --disable-docs --disable-examples --disable-oggtest
fi

if [ "$target" != web ] && [ -d /usr/src/googletest ]; then
  cmake_build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
fi

rm -rf "$build_root"
touch "$prefix/.complete"
echo "$prefix"
