#!/usr/bin/env bash
# Serves build-web/ (made by tools/web/build.sh) on http://127.0.0.1:PORT/ (default 8080)
# until stopped. The page needs no special headers: any static web server will do.
#
#   tools/web/serve.sh [PORT]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
port=${1:-8080}
if [ ! -f "$root/build-web/index.html" ]; then
  echo "serve: build-web/ has no page yet; run tools/web/build.sh first" >&2
  exit 1
fi
echo "Vextral: http://127.0.0.1:$port/"
exec python3 -m http.server --bind 127.0.0.1 --directory "$root/build-web" "$port"
