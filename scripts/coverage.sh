#!/usr/bin/env bash
# Builds with gcov line coverage in build/coverage (Debug, no sanitizers), runs every
# test through CTest, and prints the line coverage of the program's sources per folder
# and in total (tests/, bench/ and fuzz/ are not counted). Needs gcovr (scripts/deps.sh).
#   scripts/coverage.sh [ctest arguments]
# Exits non-zero when the build or a test fails; the figures are printed either way.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
quillane_ensure_packages

build=build/coverage
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLANE_COVERAGE=ON \
      -DQUILLANE_SANITIZE=OFF -DQUILLANE_TSAN=OFF -DQUILLANE_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"

# Counters of an earlier run would add up with this one's.
find "$build" -name '*.gcda' -delete

export QT_QPA_PLATFORM=offscreen
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" "$@" || status=$?

folders=(platform core scheme text elements pascal/generator pascal/elements ui app)
filters=()
for f in "${folders[@]}"; do
  [ -d "$f" ] && filters+=(--filter "$PWD/$f/")
done
summary="$build/coverage-summary.json"
gcovr --root "$PWD" "${filters[@]}" --object-directory "$build" \
      --gcov-ignore-parse-errors --json-summary "$summary" "$build" >/dev/null

python3 - "$summary" "${folders[@]}" <<'EOF'
import json, sys
summary, folders = sys.argv[1], sys.argv[2:]
files = json.load(open(summary))["files"]
totals = {}
for entry in files:
    name = entry["filename"]
    folder = next((f for f in sorted(folders, key=len, reverse=True) if name.startswith(f + "/")), None)
    if folder is None:
        continue
    covered, total = totals.get(folder, (0, 0))
    totals[folder] = (covered + entry["line_covered"], total + entry["line_total"])
print(f"{'folder':<20}{'lines':>8}{'covered':>9}{'coverage':>10}")
all_covered = all_total = 0
for folder in folders:
    if folder not in totals:
        continue
    covered, total = totals[folder]
    all_covered += covered
    all_total += total
    print(f"{folder:<20}{total:>8}{covered:>9}{100.0 * covered / total:>9.1f}%")
if all_total:
    print(f"{'total':<20}{all_total:>8}{all_covered:>9}{100.0 * all_covered / all_total:>9.1f}%")
EOF
exit $status
