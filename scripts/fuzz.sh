#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets (CMake preset "fuzz", build-fuzz/) and runs
# each for a bounded time on a copy of its seed corpus (fuzz/corpus/<target>).
#
#   scripts/fuzz.sh [--update-corpus] [SECONDS] [TARGET...]
#
# SECONDS is the time per target (default 20; e.g. 600 for a long run).
# TARGET names (fuzz_record_file, or record_file) pick targets; default all.
# --update-corpus merges the inputs that found new coverage, minimised, back
# into fuzz/corpus/<target>/ (the only way this script writes there).
#
# Crash inputs are kept in build-fuzz/fuzz-run/<target>/; rerun one with
#   build-fuzz/fuzz/<target> <crash file>
# Prints one line per target, then "N passed, M failed"; exits non-zero when
# any target failed (crash, timeout, memory limit, check failed).
set -uo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

update_corpus=0
seconds=20
selected=()
for arg in "$@"; do
  case "$arg" in
    --update-corpus) update_corpus=1 ;;
    -h|--help) sed -n '3,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    ''|*[!0-9]*) selected+=("fuzz_${arg#fuzz_}") ;;
    *) seconds="$arg" ;;
  esac
done

all_targets=(fuzz_device_protocol fuzz_media_frame fuzz_record_file fuzz_schedule_text fuzz_overlay_document fuzz_overlay_text
             fuzz_settings_file fuzz_json_rpc fuzz_input_request fuzz_video_stream)
targets=("${all_targets[@]}")
[ "${#selected[@]}" -gt 0 ] && targets=("${selected[@]}")

# Longest input per target: record files need room for frames after the
# 1024-byte prefix and for more than one 10000-byte scan window; schedule
# texts get past the 4096-byte exchange buffer.
max_len_of() {
  case "$1" in
    fuzz_record_file) echo 32768 ;;
    fuzz_schedule_text) echo 4200 ;;
    fuzz_media_frame) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz: clang++ is missing (Debian packages clang and libclang-rt-14-dev)" >&2
  exit 2
fi

# ccache, when present, as in scripts/test.sh.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd .. && pwd)}" CCACHE_NOHASHDIR=1
fi
echo "fuzz: building (preset fuzz)" >&2
if ! cmake --preset fuzz >/dev/null || ! cmake --build --preset fuzz -j"${FUZZ_BUILD_JOBS:-2}" >/dev/null; then
  echo "fuzz: the build failed; run 'cmake --build --preset fuzz' to see why" >&2
  exit 2
fi

run_root="$root/build-fuzz/fuzz-run"
# The sanitizers stop at the first error; libFuzzer turns that into a crash.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:detect_leaks=1:symbolize=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

passed=0
failed=0
summaries=()
for target in "${targets[@]}"; do
  binary="$root/build-fuzz/fuzz/$target"
  if [ ! -x "$binary" ]; then
    summaries+=("$target: FAILED (no such target)")
    failed=$((failed + 1))
    continue
  fi
  work="$run_root/$target"
  rm -rf "$work"
  mkdir -p "$work/corpus"
  seeds="$root/fuzz/corpus/$target"
  [ -d "$seeds" ] && cp -r "$seeds/." "$work/corpus/"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -max_len="$(max_len_of "$target")"
           -print_final_stats=1 -artifact_prefix="$work/")
  [ -f "$root/fuzz/dict/$target.dict" ] && options+=(-dict="$root/fuzz/dict/$target.dict")

  echo "fuzz: $target for ${seconds}s" >&2
  (cd "$work" && "$binary" "${options[@]}" "$work/corpus") >"$work/log" 2>&1
  rc=$?

  # The last status line: "#RUNS ... cov: C ft: F corp: N/SIZE ...".
  status="$(grep -E '^#[0-9]+' "$work/log" | tail -1)"
  runs="$(sed -nE 's/^#([0-9]+).*/\1/p' <<<"$status")"
  cov="$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")"
  ft="$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<<"$status")"
  corp="$(sed -nE 's/.* corp: ([0-9]+\/[0-9a-zA-Z]+).*/\1/p' <<<"$status")"
  figures="runs ${runs:-0}, cov ${cov:-0}, ft ${ft:-0}, corpus ${corp:-0}"
  if [ "$rc" -eq 0 ]; then
    summaries+=("$target: passed ($figures)")
    passed=$((passed + 1))
  else
    reason="$(grep -m1 -E 'ERROR: (AddressSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|check failed|past the end|SUMMARY:' "$work/log" | sed 's/^==[0-9]*==//')"
    artifact="$(ls "$work"/crash-* "$work"/timeout-* "$work"/oom-* "$work"/leak-* 2>/dev/null | head -1)"
    summaries+=("$target: FAILED ($figures) ${reason:-exit $rc}${artifact:+; input: ${artifact#$root/}}")
    failed=$((failed + 1))
  fi

  if [ "$update_corpus" -eq 1 ]; then
    mkdir -p "$seeds"
    "$binary" -merge=1 -max_len="$(max_len_of "$target")" "$seeds" "$work/corpus" >"$work/merge.log" 2>&1 ||
      echo "fuzz: merging into fuzz/corpus/$target failed (see $work/merge.log)" >&2
  fi
done

printf '%s\n' "${summaries[@]}"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
