#!/usr/bin/env bash
# Builds only the icon reader's fuzzer (build/fuzz/fuzz/fuzzIcon).
exec "$(dirname "$0")/build.sh" --target fuzzIcon
