#!/usr/bin/env bash
# Runs clang-tidy with the checked-in .clang-tidy over the sources of src/, compat/ and
# tools/, using the compile commands of the default preset. Fails on any warning.
#   scripts/tidy.sh [-jN] [FILE...]   (default: every source file, two jobs)
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=2
if [[ ${1:-} == -j* ]]; then jobs=${1#-j}; shift; fi

tidy=$(command -v clang-tidy-14 || command -v clang-tidy)
runner=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)

# The compile commands (CMAKE_EXPORT_COMPILE_COMMANDS) and the generated sources they name.
if [ ! -f build/default/compile_commands.json ]; then
  cmake --preset default >/dev/null
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(find src compat tools -name '*.cpp' | sort)
fi
# run-clang-tidy takes regular expressions: each file's absolute path, escaped and anchored.
patterns=()
for f in "${files[@]}"; do
  patterns+=("^$(realpath "$f" | sed 's/[][\\.*^$+?(){}|]/\\&/g')\$")
done

log=build/default/clang-tidy.log
# -quiet drops the per-file banners; the exit status is nonzero when any file has a
# finding, since .clang-tidy makes every warning an error.
if "$runner" -clang-tidy-binary "$tidy" -p build/default -j "$jobs" -quiet \
     "${patterns[@]}" >"$log" 2>&1; then
  echo "clang-tidy: ${#files[@]} files clean"
else
  sed "s/\x1b\[[0-9;]*m//g" "$log" | grep -E "(error|warning|note):" | head -n 300 || true
  echo "clang-tidy: findings in the files above (full log: $log)" >&2
  exit 1
fi
