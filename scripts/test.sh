#!/usr/bin/env bash
# Builds and runs every test: installs what is missing, builds in build/,
# runs ctest, then builds the tests labelled "sanitize" with ThreadSanitizer
# in build-tsan/ and runs them there.
#   scripts/test.sh            everything
#   scripts/test.sh --asan     additionally every test under ASan + UBSan (build-asan/)
set -euo pipefail
cd "$(dirname "$0")/.."

asan=0
for arg in "$@"; do
  case "$arg" in
    --asan) asan=1 ;;
    *) echo "usage: scripts/test.sh [--asan]" >&2; exit 2 ;;
  esac
done

./scripts/install-deps.sh

jobs=$(nproc)
export CTEST_OUTPUT_ON_FAILURE=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --timeout 600

cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSERVOBENCH_SANITIZE=thread \
  -DSERVOBENCH_BUILD_BENCH=OFF -DSERVOBENCH_BUILD_GUI=OFF >/dev/null
cmake --build build-tsan -j "$jobs" --target sanitizer_tests
ctest --test-dir build-tsan -j "$jobs" -L sanitize --timeout 900

if [ "$asan" -eq 1 ]; then
  cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSERVOBENCH_SANITIZE=address \
    -DSERVOBENCH_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j "$jobs"
  ctest --test-dir build-asan -j "$jobs" --timeout 900
fi
