#!/usr/bin/env bash
# Runs every benchmark of a build: bench/*/run.sh scripts and the Google
# Benchmark executables named bench_* in the application folder.
set -euo pipefail
build="${1:-build}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
for exe in "$build"/app/bench_*; do
  [ -x "$exe" ] || continue
  echo "== $(basename "$exe")"
  "$exe"
done
for script in "$here"/bench/*/run.sh; do
  [ -f "$script" ] || continue
  echo "== $script"
  bash "$script" "$build"
done
