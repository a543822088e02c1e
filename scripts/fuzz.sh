#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each
# for a bounded time (and at most RUNS inputs when given), up to JOBS of them at
# once (default: one after the other).
# Inputs that crash, leak, time out or allocate without bound are written to
# fuzz/regressions/<target>/, which the normal build's ctest replays
# (fuzz_replay_<target>): commit them with the fix. The growing corpus is kept
# in build-fuzz/corpus/<target>/.
#   scripts/fuzz.sh [--time SECONDS] [--runs RUNS] [--jobs JOBS] [TARGET...]
#   (default: 60 s each, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
jobs=1
max_runs=-1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    --runs) max_runs="$2"; shift 2 ;;
    -h|--help) sed -n '2,10p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
# libFuzzer reads a time of 0 as "no limit".
if ! [ "$seconds" -gt 0 ] 2>/dev/null || ! [ "$jobs" -gt 0 ] 2>/dev/null ||
  { [ "$max_runs" != -1 ] && ! [ "$max_runs" -gt 0 ] 2>/dev/null; }; then
  echo "fuzz.sh: --time, --runs and --jobs take a number above 0" >&2
  exit 2
fi

cxx=$(command -v clang++-14 || command -v clang++)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DSERVOBENCH_FUZZ=ON -DSERVOBENCH_BUILD_GUI=OFF -DSERVOBENCH_BUILD_BENCH=OFF >/dev/null

# Every folder of regressions that names a target (also those of fuzz/<area>/);
# a folder replayed through another target's program (convert_import) seeds it.
if [ ${#targets[@]} -eq 0 ]; then
  known=$(ninja -C build-fuzz -t targets all 2>/dev/null | sed -n 's/^\([A-Za-z0-9_]*\): .*/\1/p')
  for dir in fuzz/regressions/*/; do
    name=$(basename "$dir")
    if grep -qx "$name" <<<"$known"; then
      targets+=("$name")
    fi
  done
fi
nice cmake --build build-fuzz -j 2 --target "${targets[@]}"

# Leaks inside Qt itself are not ours to find.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
# Freed memory is held back 64 MB deep rather than 256: a use after free within
# one input is still caught, and the targets stop paging through a quarter
# gigabyte of cold memory (the tree targets ran about 1.5 times as fast).
export ASAN_OPTIONS="quarantine_size_mb=64${ASAN_OPTIONS:+:$ASAN_OPTIONS}"

# The longest input worth trying: a tree file nested to the import's depth
# bound fits in 2 KiB; a stream of network frames needs over 10 KiB (the
# round trip repeats short inputs to span frames).
max_len_of() {
  case "$1" in
    tree_*|convert|adapter_receive) echo 2048 ;;
    net_parser) echo 16384 ;;
    net_receive_path) echo 512 ;;
    *) echo 4096 ;;
  esac
}

# Seeds besides the target's own regressions: folders replayed through it.
extra_seeds_of() {
  case "$1" in
    convert) echo "$PWD/fuzz/regressions/convert_import" ;;
  esac
}

run_one() {
  local target=$1 binary corpus regressions work log runs finds
  binary=$(find build-fuzz/fuzz -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$binary" ]; then
    echo "$target: not built" >&2
    return 1
  fi
  corpus="$PWD/build-fuzz/corpus/$target"
  regressions="$PWD/fuzz/regressions/$target"
  # A folder per target: a file named "log" where the day's log folder would
  # go keeps the targets' warnings from being written millions of times.
  work="$PWD/build-fuzz/work/$target"
  mkdir -p "$corpus" "$regressions" "$work"
  rm -rf "$work/log" && touch "$work/log"
  log="$PWD/build-fuzz/$target.log"
  local status=0 seeds
  seeds=$(extra_seeds_of "$target")
  # The regression files seed the corpus; finds land beside them. Time limits
  # are wall-clock: at the lowest priority on a busy machine an input may wait
  # seconds for a core, which is no hang.
  # shellcheck disable=SC2086
  (cd "$work" && nice "$OLDPWD/$binary" "$corpus" "$regressions" $seeds \
    -max_total_time="$seconds" -runs="$max_runs" -timeout=60 -report_slow_units=60 -rss_limit_mb=2048 -malloc_limit_mb=512 \
    -max_len="$(max_len_of "$target")" -print_final_stats=1 \
    -artifact_prefix="$regressions/") >"$log" 2>&1 || status=1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  finds=$(grep -c '^artifact_prefix=\|Test unit written to' "$log" || true)
  echo "$target: ${runs:-0} executions in ${seconds} s, ${finds} finding(s) (log: $log)"
  return $status
}

status=0
running=0
for target in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
