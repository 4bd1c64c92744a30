#!/usr/bin/env bash
# Builds every libFuzzer target (fuzz/fuzz*.cpp) with clang in build/fuzz.
# Run, for example:
#   build/fuzz/fuzz/fuzzKnot -max_total_time=600 <scratch corpus dir> tests/data/knot-corpus
#   build/fuzz/fuzz/fuzzIcon -max_total_time=600 -max_len=4096 <scratch corpus dir> tests/data/icon-corpus
#   build/fuzz/fuzz/fuzzImageSize -max_total_time=600 -max_len=256 <scratch corpus dir> tests/data/imagesize-corpus
#   QT_QPA_PLATFORM=offscreen LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp UBSAN_OPTIONS=halt_on_error=1 \
#     build/fuzz/fuzz/fuzzScheme -max_total_time=600 -max_len=4096 -dict=fuzz/fuzzScheme.dict \
#     <scratch corpus dir> tests/data/scheme-corpus
set -euo pipefail
cd "$(dirname "$0")/.."
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLANE_FUZZ=ON -DQUILLANE_BENCH=OFF >/dev/null
cmake --build build/fuzz -j"$(nproc)" "$@"
