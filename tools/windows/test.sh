#!/usr/bin/env bash
# The Windows stage of ./test.sh, on its own: builds build-windows/ (tools/windows/build.sh:
# the game, the tests, the zip and the installer), runs every test executable once under
# Wine (tools/windows/run-tests.sh; extra arguments go to each), then the end-to-end case
# under Wine on Xvfb (tests/e2e/windows_case.py): silent install, a game played, the saves
# in %APPDATA%\Vextral, the recording replayed by the Linux vextral-sim, the message boxes
# and the on-screen line, the portable zip's saves beside it, uninstall.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/windows/build.sh
host=${VEXTRAL_HOST_TOOLS:-build-windows/host}
status=0
tools/windows/run-tests.sh "$@" || status=1
echo "== build-windows/e2e: the installed game under Wine"
installer=$(ls build-windows/Vextral-*-setup.exe | head -n1)
zip=$(ls build-windows/Vextral-*-windows.zip | head -n1)
if tools/with-xvfb.sh --screen 640x480x24 python3 -B tests/e2e/windows_case.py \
  --installer "$installer" --zip "$zip" --sim "$host/tools/sim/vextral-sim" \
  --windows-sim build-windows/tools/sim/vextral-sim.exe \
  --linux-game "$host/game/vextral" \
  --backdrop build-windows/resources/assets/backdrop.png --output build-windows/e2e; then
  echo "windows-e2e: 1 passed, 0 failed"
else
  echo "windows-e2e: 0 passed, 1 failed (screenshots in build-windows/e2e/shots)"
  status=1
fi
exit $status
