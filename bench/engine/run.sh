#!/usr/bin/env bash
# A whole lock run with quorvel-cli over a generated corpus, against copying
# the same corpus with `cp -r` followed by `sync`, in the same run.
# Usage: bench/engine/run.sh [BUILD_DIR] [COUNT] [TOTAL_MB]
set -euo pipefail
build="$(cd "${1:-build}" && pwd)"
count="${2:-2000}"
total_mb="${3:-200}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quorvel-lockbench-XXXXXX")"
trap 'rm -rf "$work"' EXIT

"$build/app/make_corpus" "$work/corpus" "$count" "$total_mb"
templates="$build/app/templates"
[ -f "$templates/default.htm" ] || templates="$here/tests/fixtures/templates"

seconds() { date +%s.%N; }
minus() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a - b }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
sync

start=$(seconds)
cp -r "$work/corpus" "$work/copy"
sync
copy_time=$(minus "$(seconds)" "$start")

cp -r "$work/corpus" "$work/locked"
sync
start=$(seconds)
"$build/app/quorvel-cli" lock --templates-dir "$templates" -u bench:password "$work/locked" >/dev/null
sync
lock_time=$(minus "$(seconds)" "$start")

rm -rf "$work/locked"
cp -r "$work/corpus" "$work/locked"
sync
start=$(seconds)
"$build/app/quorvel-cli" lock --no-backup --templates-dir "$templates" -u bench:password "$work/locked" >/dev/null
sync
lock_nobak_time=$(minus "$(seconds)" "$start")

printf 'cp -r + sync:               %6.2f s\n' "$copy_time"
printf 'lock (with .bak copies):    %6.2f s  ratio %.2fx (target <= 3x)\n' "$lock_time" "$(ratio "$lock_time" "$copy_time")"
printf 'lock --no-backup:           %6.2f s  ratio %.2fx\n' "$lock_nobak_time" "$(ratio "$lock_nobak_time" "$copy_time")"
