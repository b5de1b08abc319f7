#!/usr/bin/env bash
# Builds NavoTools and runs every test: the unit and conformance suite, the installed
# package (moved to another prefix: the tour, pkg-config and a consumer project), the
# example application, the Debian packages (built, checked by lintian, their tool run),
# clang-tidy, the same suite under AddressSanitizer and UndefinedBehaviorSanitizer, and
# each fuzz target for a short bounded time; then NavoTools.dll for Windows x64 and x86,
# each with its conformance tests under Wine (64-bit and 32-bit) and the example built as
# a Windows application. NAVOTOOLS_COVERAGE=1 adds the coverage report (scripts/coverage.sh).
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh test

fuzz_seconds=${NAVOTOOLS_FUZZ_SECONDS:-20}

# Each CTest run is kept in build/ctest-PRESET.log, and its counts are summed up at the end.
suites=()
run_suite() {  # PRESET LABEL
  mkdir -p build
  ctest --preset "$1" 2>&1 | tee "build/ctest-$1.log"
  suites+=("$1:$2")
}
summary() {
  local entry preset label counts skipped
  echo "== summary"
  for entry in "${suites[@]}"; do
    preset=${entry%%:*}
    label=${entry#*:}
    counts=$(grep -Eo '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "build/ctest-$preset.log" | tail -n 1)
    skipped=$(grep -c '\*\*\*Skipped' "build/ctest-$preset.log" || true)
    echo "$label: $counts ($skipped skipped)"
  done
}

echo "== build and test (default)"
cmake --preset default >/dev/null
cmake --build --preset default
run_suite default "Linux"

echo "== installed package, moved to another prefix"
# Installed into one prefix and moved: everything must work from where it lies now. The
# example application below uses the moved copy too.
rm -rf build/stage build/stage-first build/consumer build/pkgconfig-check
cmake --install build/default --prefix "$PWD/build/stage-first" >/dev/null
mv build/stage-first build/stage
run_tour() {  # TOOL [ENV...]: the tour passes every step, on a state directory of its own
  local tool=$1 home log
  shift
  home=$(mktemp -d)
  log="$home.log"
  env "$@" NAVOTOOLS_HOME="$home" "$tool" tour >"$log" 2>&1 || { cat "$log"; echo "tour of $tool failed"; exit 1; }
  ! grep -q '^\[FAIL\]' "$log" || { cat "$log"; echo "tour of $tool: a step failed"; exit 1; }
  grep -c '^\[ ok \]' "$log" | sed "s|^|tour of $tool: |; s|\$| steps ok|"
  rm -rf "$home" "$log"
}
run_tour build/stage/bin/navotools
stage_pc="$PWD/build/stage/lib/pkgconfig"
pc_flags=$(PKG_CONFIG_PATH="$stage_pc" pkg-config --cflags --libs NavoTools)
case "$pc_flags" in *"$PWD/build/stage/"*) ;; *) echo "pkg-config: $pc_flags names no folder of the moved tree"; exit 1 ;; esac
mkdir -p build/pkgconfig-check
printf '#include <NavoTools.h>\nint main() { return GetSystemErrorMessage(2).IsEmpty() ? 1 : 0; }\n' >build/pkgconfig-check/main.cpp
# shellcheck disable=SC2086 # the flags are words
g++ -std=c++20 build/pkgconfig-check/main.cpp -o build/pkgconfig-check/main $pc_flags
LD_LIBRARY_PATH="$PWD/build/stage/lib" build/pkgconfig-check/main
echo "pkg-config --cflags --libs NavoTools: $pc_flags"
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

echo "== Debian packages"
# dpkg-buildpackage writes the packages next to the source tree: it builds a copy of the
# tree in build/deb/src, so that they land in build/deb.
rm -rf build/deb
mkdir -p build/deb/src
tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C build/deb/src
(cd build/deb/src && dpkg-buildpackage -us -uc -b) >build/deb/build.log 2>&1 || {
  tail -n 60 build/deb/build.log; echo "dpkg-buildpackage failed (build/deb/build.log)"; exit 1; }
lintian --fail-on error build/deb/*.changes | tee build/deb/lintian.log
for package in libnavotools1 libnavotools-dev navotools; do
  ls build/deb/${package}_*.deb >/dev/null
done
# Unpacked into a throw-away root; the tool runs from there, the library and its modules
# found from where they lie.
mkdir -p build/deb/root
for deb in build/deb/*.deb; do dpkg -x "$deb" build/deb/root; done
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
run_tour build/deb/root/usr/bin/navotools LD_LIBRARY_PATH="$PWD/build/deb/root/usr/lib/$multiarch"

echo "== static analysis (clang-tidy)"
scripts/tidy.sh

echo "== build and test (asan)"
cmake --preset asan >/dev/null
cmake --build --preset asan
run_suite asan "Linux under ASan+UBSan"

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

# windows_stage PRESET ARCH TOOLCHAIN WINE LABEL: the DLL, its conformance tests under
# Wine, the artefact checks and the example application.
windows_stage() {
  local preset=$1 arch=$2 toolchain=$3 wine=$4 label=$5
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  run_suite "$preset" "$label"
  tests/windows_artefact_checks.sh "build/$preset/NavoTools.dll" "$arch" build/default/navotools >/dev/null
  windows_example "$preset" "$toolchain" "$wine"
  # The Wine server of the build's prefix stays a few seconds for later programs; stop it.
  WINEPREFIX="$PWD/build/$preset/wineprefix" wineserver -k 2>/dev/null || true
}

echo "== Windows x86 (mingw-w64): NavoTools.dll and the conformance tests under Wine 32-bit"
# Where the kernel runs no 32-bit program, Wine 32-bit cannot start: the tests are built,
# and ctest lists one skipped test that says so.
windows_stage mingw32 i686 mingw-i686.cmake /usr/lib/wine/wine "Windows x86 under Wine 32-bit"

echo "== Windows x64 (mingw-w64): NavoTools.dll and the conformance tests under Wine"
windows_stage mingw64 x86_64 mingw-x86_64.cmake /usr/lib/wine/wine64 "Windows x64 under Wine"

if [ "${NAVOTOOLS_COVERAGE:-0}" = 1 ]; then
  echo "== coverage"
  scripts/coverage.sh
fi
summary
echo "all tests passed"
