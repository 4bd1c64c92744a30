#!/usr/bin/env bash
# Builds in Release and runs every benchmark. Headline figures are printed as
# "RATIO <name> <value>", growth figures as "GROWTH <name> <value>",
# latency figures (milliseconds) as "LATENCY <name> <value>" and heap figures
# (bytes) as "MEMORY <name> <value>".
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quillane_ensure_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
for b in build/release/bench/bench_*; do
  [ -f "$b" ] && [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b" "$@"
done
