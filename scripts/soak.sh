#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The long soak: login/logout and open-all/close-all cycles of the whole
# control against a velk-recorder on loopback, printing memory, threads and
# descriptors of both processes as tables, and failing when they grew.
#   scripts/soak.sh                      1000 + 1000 cycles, default build (build/)
#   scripts/soak.sh asan                 the same under AddressSanitizer (build-asan/)
#   scripts/soak.sh default --open-cycles=200 --stream-type=1
# Options after the preset go to soak_tests (see tests/soak/SoakOptions.h);
# VELK_SOAK_* variables work too. ctest runs the short soak (50 + 50).
set -euo pipefail
cd "$(dirname "$0")/.."

preset=default
case "${1:-}" in
default | asan | tsan) preset="$1"; shift ;;
esac
case "$preset" in
default) build=build ;;
asan)
    build=build-asan
    export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
    export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
    ;;
tsan)
    build=build-tsan
    export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp}"
    ;;
esac

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target soak_tests velk-recorder
unset DISPLAY WAYLAND_DISPLAY
export VELK_SOAK_LOGIN_CYCLES="${VELK_SOAK_LOGIN_CYCLES:-1000}"
export VELK_SOAK_OPEN_CYCLES="${VELK_SOAK_OPEN_CYCLES:-1000}"
start=$(date +%s)
status=0
"$build/bin/soak_tests" --gtest_filter='SoakTest.*' "$@" || status=$?
echo "soak: $(($(date +%s) - start)) s wall time, exit status $status"
exit "$status"
