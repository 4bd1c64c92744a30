#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts the program with the given arguments.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
quillane_ensure_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target quillane
exec build/release/app/quillane "$@"
