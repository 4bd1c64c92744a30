#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz.
# Run:  build/fuzz/fuzz/fuzz_knot -max_total_time=600 <scratch corpus dir> tests/data/knot-corpus
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DQUILLANE_FUZZ=ON -DQUILLANE_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build/fuzz -j3 --target fuzz_knot
