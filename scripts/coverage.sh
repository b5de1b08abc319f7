#!/usr/bin/env bash
# Builds the coverage preset (gcc --coverage, build/coverage), runs the test suite and
# reports line and branch coverage of src/ and compat/ with gcovr: per folder (src/,
# compat/win32/, compat/mfc/) and in total. Fails when the total line coverage is below
# NAVOTOOLS_COVERAGE_MIN percent (85 unless set; 0 reports only).
# The HTML report with every file's lines is build/coverage/coverage/index.html, the lines
# not run of each file are listed in build/coverage/coverage/coverage.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
minimum=${NAVOTOOLS_COVERAGE_MIN:-85}

cmake --preset coverage >/dev/null
cmake --build --preset coverage
# Counts from an earlier run would add to this one's.
find build/coverage -name '*.gcda' -delete
ctest --preset coverage >build/coverage/ctest.log 2>&1 || { tail -n 60 build/coverage/ctest.log; exit 1; }
tail -n 3 build/coverage/ctest.log

report=build/coverage/coverage
rm -rf "$report"
mkdir -p "$report"
# Branches that only unwind an exception, or that the compiler proves never taken, are
# not the code's own decisions; they are left out of the branch figures.
gcovr --root "$root" --object-directory build/coverage -j 2 \
  --filter "$root/src/" --filter "$root/compat/" \
  --exclude-directories '.*/CMakeFiles/[0-9][0-9.]*$' \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$report/summary.json" --txt "$report/coverage.txt" \
  --html-details "$report/index.html" >/dev/null

python3 - "$report/summary.json" "$minimum" <<'PY'
import json, sys

summary = json.load(open(sys.argv[1]))
minimum = float(sys.argv[2])
folders = ["src/", "compat/win32/", "compat/mfc/"]
totals = {f: [0, 0, 0, 0] for f in folders + ["total"]}
files = []
for entry in summary["files"]:
    name = entry["filename"]
    counts = [entry["line_covered"], entry["line_total"], entry["branch_covered"], entry["branch_total"]]
    files.append((name, counts))
    for key in [f for f in folders if name.startswith(f)] + ["total"]:
        totals[key] = [a + b for a, b in zip(totals[key], counts)]

def pct(covered, total):
    return 100.0 * covered / total if total else 100.0

print("%-16s %8s %14s %8s %14s" % ("folder", "lines", "", "branches", ""))
for key, (lc, lt, bc, bt) in totals.items():
    print("%-16s %7.1f%% %6d of %6d %7.1f%% %6d of %6d" % (key, pct(lc, lt), lc, lt, pct(bc, bt), bc, bt))

print("\nleast covered files (lines not run):")
for name, (lc, lt, bc, bt) in sorted(files, key=lambda f: f[1][0] - f[1][1])[:12]:
    print("  %5d not run  %5.1f%%  %s" % (lt - lc, pct(lc, lt), name))

lc, lt = totals["total"][0], totals["total"][1]
if pct(lc, lt) < minimum:
    print("\nline coverage %.1f%% is below %g%%" % (pct(lc, lt), minimum))
    sys.exit(1)
PY
