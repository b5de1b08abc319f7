#!/usr/bin/env bash
# Builds NavoTools and runs every test: the unit and conformance suite, the same suite
# under AddressSanitizer and UndefinedBehaviorSanitizer, the installed package from a
# consumer project and the example application, clang-tidy, and each fuzz target for a
# short bounded time; then NavoTools.dll for Windows x64 and x86, each with its conformance
# tests under Wine (64-bit and 32-bit) and the example built as a Windows application.
# NAVOTOOLS_COVERAGE=1 adds the coverage report (scripts/coverage.sh).
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

echo "== example application"
rm -rf build/example
cmake -S examples -B build/example -G Ninja -DCMAKE_PREFIX_PATH="$PWD/build/stage" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wformat=2 -Werror" >/dev/null
cmake --build build/example >/dev/null
# Its own state directory and no OS override: the reported OS is the emulated default.
example_home=$(mktemp -d)
run_example() {  # LOCALE OUTPUT
  env -u NAVOTOOLS_OSVERSION NAVOTOOLS_HOME="$example_home" NAVOTOOLS_LOCALE="$1" \
    build/example/navo_example >"$2" || { cat "$2"; echo "example failed under $1"; exit 1; }
}
expect_line() {  # FILE REGEX
  grep -qx -- "$2" "$1" || { cat "$1"; echo "example: no line '$2' in $1"; exit 1; }
}
run_example en_US build/example/en.txt
run_example fr_FR.UTF-8 build/example/fr.txt
rm -rf "$example_home"
expect_line build/example/en.txt 'NavoTools Example 2.03.17 is running on Windows 10.0 build 19045.'
expect_line build/example/en.txt '| Details: \[0x0000007E\] .*'
expect_line build/example/en.txt 'Reading the binary value Placement as text: CNotSupportedException caught'
expect_line build/example/fr.txt 'Reading the binary value Placement as text: CNotSupportedException caught'
expect_line build/example/en.txt 'User interface: English (ExampleEng.dll)'
expect_line build/example/fr.txt 'Exemple NavoTools 2.03.17 fonctionne sous Windows 10.0 build 19045.'
expect_line build/example/fr.txt 'Interface utilisateur : fran.*ais (ExampleFra.dll)'
echo "example works in English and French"

echo "== static analysis (clang-tidy)"
scripts/tidy.sh

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
# The example as a Windows application of one architecture, built against the installed
# NavoTools.dll as the README tells, run under Wine in English and in French, and its lines
# checked as on Linux. WINE is that architecture's loader.
windows_example() {  # PRESET TOOLCHAIN WINE
  local preset=$1 toolchain=$2 wine=$3 dir=build/example-$1 stage=$PWD/build/stage-$1
  rm -rf "$stage" "$dir"
  cmake --install "build/$preset" --prefix "$stage" >/dev/null
  cmake -S examples -B "$dir" -G Ninja --toolchain "$PWD/cmake/toolchains/$toolchain" \
    -DNAVOTOOLS_ROOT="$stage" -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wformat=2 -Werror" >/dev/null
  cmake --build "$dir" >/dev/null
  if ! bash -c '"$0" --version' "$wine" >/dev/null 2>&1; then
    echo "example ($preset) built, not run: $wine does not run on this machine"
    return 0
  fi
  local locale
  for locale in en_US fr_FR; do
    LC_ALL=$locale.UTF-8 sh tests/wine_run.sh "$wine" "$PWD/build/$preset/wineprefix" "$dir/navo_example.exe" \
      >"$dir/$locale.raw" || { cat "$dir/$locale.raw"; echo "example ($preset) failed in $locale"; exit 1; }
    tr -d '\r' <"$dir/$locale.raw" >"$dir/$locale.txt"
  done
  # The French text is in the ANSI code page, whatever the shell's locale: grep in C.
  LC_ALL=C expect_line "$dir/en_US.txt" 'NavoTools Example 2.03.17 is running on Windows [0-9]*\.[0-9]* build [0-9]*\.'
  LC_ALL=C expect_line "$dir/en_US.txt" '| Details: \[0x0000007E\] .*'
  LC_ALL=C expect_line "$dir/en_US.txt" 'Reading the binary value Placement as text: CNotSupportedException caught'
  LC_ALL=C expect_line "$dir/en_US.txt" 'User interface: English (ExampleEng.dll)'
  LC_ALL=C expect_line "$dir/en_US.txt" 'every step worked'
  LC_ALL=C expect_line "$dir/fr_FR.txt" 'Exemple NavoTools 2.03.17 fonctionne sous Windows [0-9]*\.[0-9]* build [0-9]*\.'
  LC_ALL=C expect_line "$dir/fr_FR.txt" 'Reading the binary value Placement as text: CNotSupportedException caught'
  LC_ALL=C expect_line "$dir/fr_FR.txt" 'Interface utilisateur : fran.*ais (ExampleFra.dll)'
  LC_ALL=C expect_line "$dir/fr_FR.txt" 'every step worked'
  echo "example ($preset) works under Wine in English and French"
}

echo "== Windows x64 (mingw-w64): NavoTools.dll and the conformance tests under Wine"
cmake --preset mingw64 >/dev/null
cmake --build --preset mingw64
ctest --preset mingw64
tests/windows_artefact_checks.sh build/mingw64/NavoTools.dll x86_64 build/default/navotools >/dev/null
windows_example mingw64 mingw-x86_64.cmake /usr/lib/wine/wine64
# The Wine server of the build's prefix stays a few seconds for later programs; stop it.
WINEPREFIX="$PWD/build/mingw64/wineprefix" wineserver -k 2>/dev/null || true

echo "== Windows x86 (mingw-w64): NavoTools.dll and the conformance tests under Wine 32-bit"
# Where the kernel runs no 32-bit program, Wine 32-bit cannot start: the tests are built,
# and ctest lists one skipped test that says so.
cmake --preset mingw32 >/dev/null
cmake --build --preset mingw32
ctest --preset mingw32
tests/windows_artefact_checks.sh build/mingw32/NavoTools.dll i686 build/default/navotools >/dev/null
windows_example mingw32 mingw-i686.cmake /usr/lib/wine/wine
WINEPREFIX="$PWD/build/mingw32/wineprefix" wineserver -k 2>/dev/null || true

if [ "${NAVOTOOLS_COVERAGE:-0}" = 1 ]; then
  echo "== coverage"
  scripts/coverage.sh
fi
echo "all tests passed"
