#!/usr/bin/env bash
# Runs one libFuzzer target for a while: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]
# TARGET is one of: png ogg font stream collision sim_script.
#
# Builds build-fuzz/ with clang-14 (AddressSanitizer + UndefinedBehaviorSanitizer, all of our
# code instrumented for coverage), writes the target's seeds into build-fuzz/corpus/TARGET/ (kept
# between runs, so the corpus grows), and fuzzes for SECONDS. A crash, leak or hang is saved
# as build-fuzz/artifacts/TARGET/<kind>-<hash>; copy it into tests/fuzz/regressions/TARGET/
# once fixed, so the replay tests run it on every build. Exits non-zero on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."

targets="png ogg font stream collision sim_script"
if [ $# -lt 2 ] || ! [[ " $targets " == *" $1 "* ]] || ! [[ "$2" =~ ^[0-9]+$ ]]; then
  echo "usage: tools/fuzz.sh TARGET SECONDS [libFuzzer options...]  (TARGET: $targets)" >&2
  exit 2
fi
target=$1
seconds=$2
shift 2

build="build-fuzz"
jobs=${VEXTRAL_JOBS:-2}
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVEXTRAL_FUZZ=ON -DVEXTRAL_SANITIZE=address,undefined -DVEXTRAL_BUILD_BENCH=OFF \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    >/dev/null
fi
cmake --build "$build" --target "${target}_fuzz" vextral-fuzz-seeds -j "$jobs" >/dev/null

binary=$(find "$build/tests" -type f -name "${target}_fuzz" -perm -u+x | head -n1)
corpus=$build/corpus/$target
artifacts=$build/artifacts/$target
mkdir -p "$corpus" "$artifacts"
"$build/tests/fuzz/vextral-fuzz-seeds" "$target" "$corpus"

# Leaks inside the system libraries are not ours to find.
export LSAN_OPTIONS="suppressions=$PWD/tools/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=1"
exec "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$@" "$corpus"
