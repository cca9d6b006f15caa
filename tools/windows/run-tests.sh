#!/usr/bin/env bash
# Runs the Windows test executables of build-windows/ under Wine, each once (Wine's
# start-up is paid once per executable, not once per case), in a fresh Wine prefix inside
# the build folder, against one private Xvfb (tools/with-xvfb.sh) where OpenGL is Mesa's
# llvmpipe. Sound goes to SDL's dummy driver. Extra arguments go to every executable, e.g.
# --gtest_filter='*Session*'. Ends with "windows-unit: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build-windows
list=$build/cross-tests.txt
if [ ! -f "$list" ]; then
  echo "run-tests: $list is missing; build first (tools/windows/build.sh)" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] || [ -z "${VEXTRAL_WINE_READY:-}" ]; then
  export VEXTRAL_WINE_READY=1
  exec "$root/tools/with-xvfb.sh" "$0" "$@"
fi

export WINEPREFIX=$build/wine-tests WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null || true' EXIT

logs=$build/test-logs
rm -rf "$logs"
mkdir -p "$logs"
passed=0
failed=0
broken=()
while read -r kind executable environment; do
  [ -n "$executable" ] || continue
  name=$(basename "$executable" .exe)
  start=$SECONDS
  status=0
  # shellcheck disable=SC2086
  (cd "$(dirname "$executable")" &&
    env SDL_AUDIODRIVER=dummy $environment timeout 900 wine "$executable" "$@") \
    >"$logs/$name.log" 2>&1 || status=$?
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$logs/$name.log" | tail -n1)
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$logs/$name.log" | tail -n1)
  passed=$((passed + ${ok:-0}))
  failed=$((failed + ${bad:-0}))
  if [ $status -ne 0 ] || [ -z "$ok" ]; then
    broken+=("$name")
    [ -n "$bad" ] || failed=$((failed + 1))  # it ended before reporting
    echo "FAILED $name ($kind, $((SECONDS - start)) s, status $status): $logs/$name.log"
    grep -E '^\[  FAILED  \]|Failure|error' "$logs/$name.log" | head -n 20 || true
  else
    echo "ok     $name ($kind, ${ok} cases, $((SECONDS - start)) s)"
  fi
done <"$list"

echo "windows-unit: $passed passed, $failed failed"
[ ${#broken[@]} -eq 0 ]
