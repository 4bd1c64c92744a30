#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test through CTest. Exits non-zero when anything fails.
#   ./test.sh [ctest arguments]   every test (the thread tests included)
#   ./test.sh --tsan [ctest args] builds build/tsan with ThreadSanitizer and runs
#                                 the tests labelled "tsan" (the *-threads programs)
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quillane_ensure_packages

jobs=$(nproc)
if [[ "${1:-}" == "--tsan" ]]; then
  shift
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_TSAN=ON -DQUILLANE_SANITIZE=OFF \
        -DQUILLANE_BENCH=OFF >/dev/null
  cmake --build build/tsan -j "$jobs"
  export QT_QPA_PLATFORM=offscreen
  export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp${TSAN_OPTIONS:+:$TSAN_OPTIONS}"
  exec ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L tsan "$@"
fi
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_SANITIZE=ON >/dev/null
cmake --build build/test -j "$jobs"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir build/test --output-on-failure -j "$jobs" "$@"
