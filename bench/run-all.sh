#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark, each against a fresh recorder on free loopback
# ports, and prints each one's figures and then a summary of the targets.
#   bench/run-all.sh [DIR]            programs in DIR or DIR/bin (default build/bin)
#   BENCH_SECONDS=N bench/run-all.sh  steady state for N s instead of 60
set -uo pipefail
cd "$(dirname "$0")/.."

bin="${1:-${VELK_BIN_DIR:-build/bin}}"
[ -d "$bin/bin" ] && bin="$bin/bin"  # a build folder
bin="$(cd "$bin" && pwd)" || { echo "run-all: no folder $bin" >&2; exit 1; }
seconds="${BENCH_SECONDS:-60}"
export VELK_BIN_DIR="$bin" VELK_RECORDER="$bin/velk-recorder"
# Measurements are of the offscreen platform, as the automation host uses.
unset DISPLAY WAYLAND_DISPLAY

log="$(mktemp)"
trap 'rm -f "$log"' EXIT

run() {
  echo
  echo "---- $* ----"
  "$@" 2>&1 | tee -a "$log"
  local status=${PIPESTATUS[0]}
  [ "$status" -eq 0 ] || echo "SUMMARY $(basename "$1"): did not run (exit $status)" | tee -a "$log"
}

run "$bin/bench-preview-open"
run "$bin/bench-decode-cpu"
run "$bin/bench-preview-latency"
run "$bin/bench-preview-steady" --seconds "$seconds"
run "$bin/bench-timeline"
run "$bin/bench-remote-play"
run "$bin/bench-download"
run "$bin/bench-recorder-reencode"
run "$bin/bench-cameras"
run "$bin/bench-playback-panel" --seconds "$seconds"
if command -v node >/dev/null && [ -d tests/e2e/node_modules/playwright-core ]; then
  run node bench/page-bench.mjs
else
  echo "SUMMARY page-bench: skipped (node or tests/e2e/node_modules missing; scripts/setup.sh installs them)" | tee -a "$log"
fi

echo
echo "==== summary ===="
grep -E '^SUMMARY |^  target |^# .* skipped' "$log"
