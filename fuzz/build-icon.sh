#!/usr/bin/env bash
# Builds the icon reader's fuzzer with clang into build/fuzz-icon.
# Run:  build/fuzz-icon/fuzz/fuzzIcon -max_total_time=600 -max_len=4096 CORPUS_DIR tests/data/icon-corpus
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build/fuzz-icon -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_FUZZ=ON -DQUILLANE_BENCH=OFF >/dev/null
cmake --build build/fuzz-icon -j3 --target fuzzIcon
