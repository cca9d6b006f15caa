#!/usr/bin/env bash
# Builds the libraries the game links (SDL2, libpng, FreeType, libogg, libvorbis) and
# GoogleTest for another system, from Debian's source packages of the very versions the
# Linux build uses, so both builds play by the same code.
#
#   tools/cross/build-deps.sh TARGET [BUILD_FOLDER]
#
# TARGET is "windows" (64-bit, Debian's mingw-w64; zlib comes from libz-mingw-w64-dev).
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
  echo "usage: $0 windows [BUILD_FOLDER]" >&2
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
  *) usage ;;
esac

# The Linux build's packages, whose source packages are built here.
binary_packages=(libsdl2-dev libpng-dev libfreetype-dev libogg-dev libvorbis-dev)
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
  echo "gtest $gtest_version"
  $CXX --version | head -n1
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

cmake_build() {  # name source-folder cmake-options...
  local name=$1 source=$2
  shift 2
  [ -f "$prefix/.built-$name" ] && return
  echo "build-deps: $name" >&2
  rm -rf "${build_root:?}/$name"
  cmake -S "$source" -B "$build_root/$name" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVEXTRAL_CROSS_PREFIX="$prefix" \
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
png_source=$(fetch_source libpng-dev)
freetype_source=$(fetch_source libfreetype-dev)
ogg_source=$(fetch_source libogg-dev)
vorbis_source=$(fetch_source libvorbis-dev)

cmake_build sdl2 "$sdl_source" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF
# The game has its own main() and picks its subsystem per executable: neither SDL's main()
# nor the GUI subsystem goes into every link, and main keeps its name.
sed -i -e 's/ *-lSDL2main//g' -e 's/ *-mwindows//g' -e 's/ *-Dmain=SDL_main//g' \
  "$prefix/lib/pkgconfig/sdl2.pc"

cmake_build png "$png_source" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_EXECUTABLES=ON

# zlib is the system's (FreeType's own copy would clash with it in one link).
cmake_build freetype "$freetype_source" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
  -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON

configure_build ogg "$ogg_source"
configure_build vorbis "$vorbis_source" --disable-docs --disable-examples --disable-oggtest

if [ -d /usr/src/googletest ]; then
  cmake_build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
fi

rm -rf "$build_root"
touch "$prefix/.complete"
echo "$prefix"
