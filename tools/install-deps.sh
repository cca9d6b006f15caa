#!/usr/bin/env bash
# Installs what building, testing and playing need on Debian 12.
# Quiet and quick when everything is already present.
set -euo pipefail

packages=(
  g++ cmake make pkg-config git
  libsdl2-dev libpng-dev zlib1g-dev libfreetype-dev libvorbis-dev libogg-dev
  libgl-dev libgl1-mesa-dri
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-dejavu-core
  xvfb xdotool imagemagick x11-utils python3
  clang-14 libclang-rt-14-dev
)

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
