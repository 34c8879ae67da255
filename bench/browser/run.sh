#!/usr/bin/env bash
# Browser benchmark of the page templates: time from pressing the login
# button to the decrypted page's load event for pages of 100 KB, 1 MB and
# 10 MB in headless Chromium, and the script's decryption cost per MB beside
# the same work done natively by the engine. Usage: run.sh <build dir>
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exec node "$here/bench.mjs" "$build"
