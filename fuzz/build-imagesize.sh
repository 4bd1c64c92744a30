#!/usr/bin/env bash
# Builds only the image header readers' fuzzer (build/fuzz/fuzz/fuzzImageSize).
exec "$(dirname "$0")/build.sh" --target fuzzImageSize
