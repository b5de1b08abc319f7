#!/usr/bin/env bash
# Builds NavoTools and runs every test: the unit and conformance suite, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the installed package from a
# consumer project, and each fuzz target for a short bounded time; then NavoTools.dll for
# Windows x64 with its conformance tests under Wine, and the x86 DLL, built and checked.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh

fuzz_seconds=${NAVOTOOLS_FUZZ_SECONDS:-20}

echo "== build and test (default)"
cmake --preset default >/dev/null
cmake --build --preset default
ctest --preset default

echo "== installed package"
rm -rf build/stage build/consumer
cmake --install build/default --prefix "$PWD/build/stage" >/dev/null
cmake -S tests/package_consumer -B build/consumer -G Ninja -DCMAKE_PREFIX_PATH="$PWD/build/stage" >/dev/null
cmake --build build/consumer >/dev/null
build/consumer/consumer

echo "== build and test (asan)"
cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan

echo "== fuzz targets (${fuzz_seconds}s each)"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target fuzz_targets
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target")
  corpus=$(mktemp -d)
  if [ -d "fuzz/corpus/$name" ]; then cp -r "fuzz/corpus/$name/." "$corpus/"; fi
  echo "-- $name"
  "$target" -max_total_time="$fuzz_seconds" -print_final_stats=0 "$corpus" >"build/fuzz/$name.log" 2>&1 || {
    tail -n 40 "build/fuzz/$name.log"; echo "fuzz target $name failed"; exit 1; }
  rm -rf "$corpus"
done
echo "== Windows x64 (mingw-w64): NavoTools.dll and the conformance tests under Wine"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64
ctest --preset mingw64
tests/windows_artefact_checks.sh build/mingw64/NavoTools.dll x86_64 build/default/navotools >/dev/null
# The Wine server of the build's prefix stays a few seconds for later programs; stop it.
WINEPREFIX="$PWD/build/mingw64/wineprefix" wineserver -k 2>/dev/null || true

echo "== Windows x86 (mingw-w64): NavoTools.dll and the test programs, built and checked"
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32
tests/windows_artefact_checks.sh build/mingw32/NavoTools.dll i686 build/default/navotools
echo "all tests passed"
