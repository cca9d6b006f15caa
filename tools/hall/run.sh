#!/usr/bin/env bash
# Builds vextral-hall if needed and serves the hall of fame on 127.0.0.1 with its games in
# a SQLite file (or, given --database CONNECTION, in PostgreSQL; docs/hall.md).
#
#   tools/hall/run.sh [DATA-FOLDER] [vextral-hall options...]
#
# DATA-FOLDER defaults to ./hall-data; the port to 8734. Run as root, it serves as the
# user "nobody" (the folder is handed to that user).
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${VEXTRAL_HALL_BUILD:-$source_dir/build-hall}"
data="${1:-hall-data}"
shift || true

"$source_dir/tools/install-deps.sh" --hall
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXTRAL_BUILD_TESTS=OFF -DVEXTRAL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build_dir" -j"$(nproc)" --target vextral-hall >/dev/null

user_options=()
if [ "$(id -u)" -eq 0 ]; then
  mkdir -p "$data"
  chown nobody "$data"
  user_options=(--user nobody)
fi
exec "$build_dir/hall/vextral-hall" --data "$data" "${user_options[@]}" "$@"
