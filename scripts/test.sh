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

# ccache, when present, makes rebuilds and other checkouts of the same
# sources cheap; paths are taken relative to the checkout's parent folder.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}" CCACHE_NOHASHDIR=1
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
# The tests start their own recorder and host processes on loopback ports and
# use Qt's offscreen platform; they need no display.
unset DISPLAY WAYLAND_DISPLAY
ctest --preset "$preset" -j2
