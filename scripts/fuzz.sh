#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each
# for a bounded time, one after the other. Inputs that crash, leak, time out
# or allocate without bound are written to fuzz/regressions/<target>/, which
# the normal build's ctest replays (fuzz_replay_<target>): commit them with
# the fix. The growing corpus is kept in build-fuzz/corpus/<target>/.
#   scripts/fuzz.sh [--time SECONDS] [TARGET...]   (default: 60 s each, every target)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    -h|--help) sed -n '2,7p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

cxx=$(command -v clang++-14 || command -v clang++)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DSERVOBENCH_FUZZ=ON -DSERVOBENCH_BUILD_GUI=OFF -DSERVOBENCH_BUILD_BENCH=OFF >/dev/null

# Every folder of regressions that names a target (also those of fuzz/<area>/); a
# folder replayed through another target's program (convert_import) is fuzzed with it.
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

status=0
for target in "${targets[@]}"; do
  binary=$(find build-fuzz/fuzz -type f -name "$target" -perm -u+x | head -n 1)
  if [ -z "$binary" ]; then
    echo "$target: not built" >&2
    status=1
    continue
  fi
  corpus="$PWD/build-fuzz/corpus/$target"
  regressions="$PWD/fuzz/regressions/$target"
  work="$PWD/build-fuzz/work"
  mkdir -p "$corpus" "$regressions" "$work"
  # A file named "log" where the day's log folder would go: the targets'
  # warnings are not written millions of times to disk.
  rm -rf "$work/log" && touch "$work/log"
  log="$PWD/build-fuzz/$target.log"
  # The regression files seed the corpus; finds land beside them.
  (cd "$work" && nice "$OLDPWD/$binary" "$corpus" "$regressions" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$regressions/") >"$log" 2>&1 || status=1
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  finds=$(grep -c '^artifact_prefix=\|Test unit written to' "$log" || true)
  echo "$target: ${runs:-0} executions in ${seconds} s, ${finds} finding(s) (log: $log)"
done
exit $status
