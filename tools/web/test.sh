#!/usr/bin/env bash
# The browser stage of ./test.sh, on its own: builds build-web/ (tools/web/build.sh), serves
# it on a free port of 127.0.0.1 and plays it in Debian's Chromium, headless, through the
# DevTools protocol: on a desktop (tests/web/play_test.mjs) and on an emulated phone by touch
# (tests/web/touch_test.mjs); then plays it offline and across two builds from a server of
# the test's own (tests/web/offline_test.mjs); and its hall of fame view against a
# vextral-hall serving the page (tests/web/hall_test.mjs), when the hall is built (it needs
# tools/install-deps.sh --hall). Screenshots in build-web/test-output.
set -euo pipefail
cd "$(dirname "$0")/../.."
tools/web/build.sh
(cd tests/web && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
host=${VEXTRAL_HOST_TOOLS:-build-web/host}
# The hall is a target only where its libraries were found.
if [ -z "${VEXTRAL_HOST_TOOLS:-}" ] && make -C "$host" help 2>/dev/null | grep -q ' vextral-hall$'; then
  cmake --build "$host" -j "${VEXTRAL_JOBS:-2}" --target vextral-hall >/dev/null
fi
# A free port on the loopback, served until the test ends.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory build-web "$port" >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 600); do
  if python3 -c "import urllib.request; urllib.request.urlopen('http://127.0.0.1:$port/index.html', timeout=1)" 2>/dev/null; then
    sim=$host/tools/sim/vextral-sim
    status=0
    node tests/web/play_test.mjs "http://127.0.0.1:$port/" build-web/test-output "$sim" || status=1
    node tests/web/touch_test.mjs "http://127.0.0.1:$port/" build-web/test-output "$sim" || status=1
    node tests/web/offline_test.mjs build-web build-web/test-output || status=1
    if [ -x "$host/hall/vextral-hall" ]; then
      node tests/web/hall_test.mjs build-web build-web/test-output "$host/hall/vextral-hall" "$sim" ||
        status=1
    else
      echo "web: the hall of fame view is not tested: vextral-hall is not built in $host" \
        "(tools/install-deps.sh --hall)"
    fi
    exit $status
  fi
  kill -0 $server 2>/dev/null || break
  sleep 0.1
done
echo "web: the page could not be served on 127.0.0.1:$port" >&2
exit 1
