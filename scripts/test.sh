#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test.
#   scripts/test.sh            default build (build/)
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   scripts/test.sh tsan       ThreadSanitizer (build-tsan/)
set -euo pipefail
cd "$(dirname "$0")/.."

preset="${1:-default}"
bash scripts/setup.sh >/dev/null

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
# The tests start their own recorder and host processes on loopback ports and
# use Qt's offscreen platform; they need no display.
unset DISPLAY WAYLAND_DISPLAY
ctest --preset "$preset" -j2
