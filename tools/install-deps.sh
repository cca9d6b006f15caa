#!/usr/bin/env bash
# Installs what is missing on Debian 12 (or Ubuntu). Quiet and quick when everything is
# already present.
#
#   tools/install-deps.sh          building and playing: compiler, CMake, the libraries,
#                                  the display font (what ./play.sh needs), and the HTTP
#                                  client vextral --send uses
#   tools/install-deps.sh --test   also the test, benchmark, fuzzing and packaging tools
#                                  (what ./test.sh needs), and what the hall needs
#   tools/install-deps.sh --hall   also what the hall of fame server (vextral-hall) builds
#                                  with: cpp-httplib, SQLite, libpq, OpenSSL's libcrypto;
#                                  and the PostgreSQL 15 server its tests start
#   tools/install-deps.sh --demo   also what the scripted demonstration on a virtual
#                                  display needs (tools/demo.sh)
#   tools/install-deps.sh --web    also what the browser build and its test need: Debian's
#                                  Emscripten, the source-package tools that fetch the
#                                  libraries it builds, ImageMagick (the page's icons),
#                                  Chromium, Python's web server, npm
#   tools/install-deps.sh --windows  also what the Windows build and its tests under Wine
#                                  need (tools/windows/build.sh, tools/windows/test.sh)
# Several may be given at once (./test.sh asks for its stages' in one go: apt is paid once).
set -euo pipefail

play_packages=(
  g++ cmake make pkg-config
  libsdl2-dev libpng-dev zlib1g-dev libfreetype-dev libvorbis-dev libogg-dev
  libgl-dev libgles-dev libgl1-mesa-dri
  fonts-dejavu-core
  # vextral --send's HTTP client (the game builds without it, and --send then says so).
  libcpp-httplib-dev
)
demo_packages=(xvfb xdotool imagemagick x11-utils python3)
# The hall's tests drive it with python3, and start PostgreSQL servers of their own.
hall_packages=(libcpp-httplib-dev libsqlite3-dev libpq-dev libssl-dev python3 postgresql-15)
# Debian's Emscripten needs Debian's acorn among node's modules (NODE_PATH=/usr/share/nodejs).
web_packages=(emscripten node-acorn dpkg-dev chromium python3 gzip imagemagick)
# npm comes with a node from elsewhere; Debian's own npm only where there is none.
command -v npm >/dev/null || web_packages+=(npm)
test_packages=(
  git
  libgtest-dev libgmock-dev libbenchmark-dev
  "${demo_packages[@]}"
  "${hall_packages[@]}"
  clang-14 libclang-rt-14-dev
  # Building and checking the Debian packages (systemd-analyze checks the hall's unit).
  dpkg-dev lintian desktop-file-utils appstream man-db systemd
)

windows_packages=(
  "${test_packages[@]}"
  mingw-w64 libz-mingw-w64-dev wine wine64 nsis zip
  # apt-get source unpacks with dpkg-source.
  dpkg-dev
)

packages=("${play_packages[@]}")
for option in "$@"; do
  case "$option" in
    --test) packages+=("${test_packages[@]}") ;;
    --demo) packages+=("${demo_packages[@]}") ;;
    --hall) packages+=("${hall_packages[@]}") ;;
    --web) packages+=("${web_packages[@]}") ;;
    --windows) packages+=("${windows_packages[@]}") ;;
    *)
      echo "usage: $0 [--test] [--demo] [--hall] [--web] [--windows]" >&2
      exit 2
      ;;
  esac
done

if ! command -v apt-get >/dev/null || ! command -v dpkg-query >/dev/null; then
  echo "install-deps: apt-get is not available here; install these packages (Debian and" \
    "Ubuntu names) with your system's package manager, then run this again:" >&2
  echo "  ${packages[*]}" >&2
  exit 1
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q >/dev/null
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
