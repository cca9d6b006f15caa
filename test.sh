#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs every test; then runs the suite again
# under the sanitizers: everything under AddressSanitizer + UndefinedBehaviorSanitizer
# (build-asan/, halting on the first report) and the audio mixer and device tests under
# ThreadSanitizer (build-tsan/). Extra arguments go to every ctest run, e.g. ./test.sh -R stream.
#
# VEXTRAL_TEST_STAGES picks the stages (default "plain asan tsan windows web"). The stage
# "windows" cross-builds the Windows game with mingw-w64 and tests it under Wine
# (tools/windows/test.sh: the unit tests, then the installer and a game played); the stage
# "web" builds the browser version and plays it in Debian's Chromium, headless
# (tools/web/test.sh); the stage "soak" runs the 1,000,000-frame simulator soak under
# AddressSanitizer (about half an hour on two cores).
set -euo pipefail
cd "$(dirname "$0")"
stages=${VEXTRAL_TEST_STAGES:-plain asan tsan windows web}
jobs=$(nproc)
root=$PWD
status=0

wants() { [[ " $stages " == *" $1 "* ]]; }

# Everything the stages need, in one go.
install_options=(--test)
wants windows && install_options+=(--windows)
wants web && install_options+=(--web)
tools/install-deps.sh "${install_options[@]}"

# Sanitizer settings shared by the sanitizer stages: stop at the first report, and ignore only
# what the system libraries keep for good (tools/sanitizer/).
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tools/sanitizer/lsan.supp:print_suppressions=0"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tools/sanitizer/tsan.supp"

configure_sanitizer_build() {  # folder sanitizers
  cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXTRAL_WERROR=ON \
    -DVEXTRAL_SANITIZE="$2" -DVEXTRAL_BUILD_TESTS=ON -DVEXTRAL_BUILD_BENCH=OFF >/dev/null
}

if wants plain; then
  echo "== build/: the whole suite"
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXTRAL_WERROR=ON \
    -DVEXTRAL_BUILD_TESTS=ON -DVEXTRAL_BUILD_BENCH=ON >/dev/null
  cmake --build build -j "$jobs"
  (cd build && ctest --output-on-failure -j "$jobs" "$@") || status=1
  # The Windows and browser builds run this build's asset generator and embedding tool.
  export VEXTRAL_HOST_TOOLS=$root/build
fi

if wants asan; then
  echo "== build-asan/: the whole suite under AddressSanitizer and UndefinedBehaviorSanitizer"
  configure_sanitizer_build build-asan address,undefined
  cmake --build build-asan -j "$jobs"
  (cd build-asan && ctest --output-on-failure -j "$jobs" "$@") || status=1
fi

if wants tsan; then
  echo "== build-tsan/: the audio mixer and device tests under ThreadSanitizer"
  configure_sanitizer_build build-tsan thread
  # Only what the audio tests need.
  audio_targets=$(sed -n 's/^vextral_test(NAME \([a-z_]*\).*/\1/p' tests/audio/CMakeLists.txt)
  # shellcheck disable=SC2086
  cmake --build build-tsan -j "$jobs" --target $audio_targets
  (cd build-tsan && ctest --output-on-failure -j "$jobs" -L audio "$@") || status=1
fi

if wants soak; then
  echo "== build-asan/: the 1,000,000-frame soak under AddressSanitizer"
  configure_sanitizer_build build-asan address,undefined
  cmake --build build-asan -j "$jobs" --target reliability_soak
  (cd build-asan && ctest --output-on-failure -C soak -L soak "$@") || status=1
fi

if wants windows; then
  echo "== build-windows/: the Windows build under Wine"
  # ctest arguments mean nothing to the Windows test executables.
  VEXTRAL_JOBS=$jobs tools/windows/test.sh || status=1
fi

if wants web; then
  echo "== build-web/: the browser version played in Chromium"
  VEXTRAL_JOBS=$jobs tools/web/test.sh || status=1
fi

exit $status
