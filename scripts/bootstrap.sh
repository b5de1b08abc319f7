#!/usr/bin/env bash
# Installs the Debian packages NavoTools needs, and only those that are missing. Safe to
# run any number of times.
#
#   scripts/bootstrap.sh run    building and running the library and the tool (./run.sh)
#   scripts/bootstrap.sh test   the above, and everything the tests need (./test.sh; the
#                               default)
set -euo pipefail

# Building and running the library and the tool.
run_packages=(
  cmake ninja-build g++ pkg-config      # build
  llvm lld clang-14 clang               # llvm-rc, lld-link (resources), clang's preprocessor
  libicu-dev                            # locale data
  libsqlite3-dev                        # the registry store
  libx11-dev                            # windows on Linux are X11 windows
  libgtk-3-dev                          # navotools-dialog: the message box on Linux desktops
  libcli11-dev                          # the command line of navotools (header-only)
)

# Testing, analysis and the Windows build.
test_packages=(
  libclang-rt-14-dev                    # libFuzzer and sanitizer runtimes for clang
  libgtest-dev libgmock-dev             # tests
  libbenchmark-dev                      # benchmarks
  xdotool imagemagick libxfixes-dev     # tests: keys into dialogs, their pictures, the cursor
  xvfb x11-apps liblnk-utils            # tests: a virtual display, xeyes, lnkinfo
  python3                               # tests: Python's email package reads the mail we write
  python3-pefile                        # benchmarks: the file-version reference (bench/pefile_version.py)
  xdg-utils                             # xdg-email: mail to the desktop's client (tests run the real one)
  g++-mingw-w64-x86-64 g++-mingw-w64-i686   # the Windows DLL (x64 and x86)
  mingw-w64-tools                       # Windows build helpers (widl, gendef)
  googletest                            # GoogleTest sources, built for Windows
  wine wine64                           # the Windows tests run under Wine 64-bit
  wine32:i386                           # and the x86 ones under Wine 32-bit (i386 architecture)
  clang-tidy                            # static analysis (scripts/tidy.sh)
  gcovr                                 # coverage reports (scripts/coverage.sh)
  debhelper dpkg-dev lintian            # the Debian packages, built and checked
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "bootstrap: installing ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
