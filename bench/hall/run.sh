#!/usr/bin/env bash
# The hall of fame's figures: what verifying a game costs against the play it recorded, and
# how fast the table is served while games are being submitted and verified. Builds in
# Release into build-bench/, then runs bench/hall/hall_bench.py, which prints a table and
# writes build/bench/hall.json.
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
exec python3 -B "$root/bench/hall/hall_bench.py" --build "$build" --output "$root/build/bench/hall.json" "$@"
