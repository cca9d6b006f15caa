#!/usr/bin/env bash
# The hall of fame's figures: what verifying a game costs against the play it recorded, and
# how fast the table is served while games are being submitted and verified
# (bench/hall/hall_bench.py, written to build/bench/hall.json); then two halls sharing one
# PostgreSQL database taking 1,000 games from 50 clients while one is killed
# (bench/hall/shared_database.py, build/bench/hall_shared.json). Builds in Release into
# build-bench/.
#
#   bench/hall/run.sh [--quick]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build-bench"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXTRAL_BUILD_TESTS=OFF >/dev/null
if ! cmake --build "$build" -j2 --target vextral-hall vextral-sim hall_load >/dev/null; then
  echo "bench: vextral-hall could not be built (tools/install-deps.sh --hall)" >&2
  exit 1
fi
python3 -B "$root/bench/hall/hall_bench.py" --build "$build" --output "$root/build/bench/hall.json" "$@"
# Two halls on one PostgreSQL database, one killed halfway (--quick: 100 games, 10 clients).
if [ "${1:-}" = "--quick" ]; then
  sizes=(--games 100 --clients 10)
else
  sizes=()
fi
exec python3 -B "$root/bench/hall/shared_database.py" --build "$build" --output "$root/build/bench/hall_shared.json" "${sizes[@]}"
