#!/usr/bin/env bash
# Installs what building and testing Quorvel needs, and nothing that is
# already there: Debian packages through apt-get, and the browser-test
# packages from their npm lock file. Safe to run again and again.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  g++ make cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libbenchmark-dev libssl-dev libsqlite3-dev   # benchmarks' reference points
  clang libclang-rt-14-dev                      # fuzzing
  chromium openssl                              # page templates in a real browser (openssl: https test certificate)
)
# Node.js may come from a package that bundles npm (and conflicts with
# Debian's npm), so the commands are what counts here.
command -v node >/dev/null 2>&1 || packages+=(nodejs)
command -v npm >/dev/null 2>&1 || packages+=(npm)
if [ -f "$here/ui/CMakeLists.txt" ]; then
  packages+=(qt6-base-dev qt6-base-dev-tools libgl-dev xvfb)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Browser tests: playwright-core pinned by the lock file, driving Debian's
# chromium (no browser download).
browser_dir="$here/tests/browser"
if [ -f "$browser_dir/package-lock.json" ]; then
  stamp="$browser_dir/node_modules/.quorvel-lock-stamp"
  if [ ! -f "$stamp" ] || ! cmp -s "$stamp" "$browser_dir/package-lock.json"; then
    echo "install-deps: npm ci in tests/browser"
    (cd "$browser_dir" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
    cp "$browser_dir/package-lock.json" "$stamp"
  fi
fi
