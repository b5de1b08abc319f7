#!/usr/bin/env bash
# Installs the Debian packages that building and testing NavoTools needs, and only those
# that are missing. Safe to run any number of times.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config      # build
  llvm lld clang-14 clang               # llvm-rc, lld-link (resources), clang's preprocessor
  libclang-rt-14-dev                    # libFuzzer and sanitizer runtimes for clang
  libicu-dev                            # locale data
  libsqlite3-dev                        # the registry store
  libgtest-dev libgmock-dev             # tests
  libcli11-dev                          # the command line of navotools
  libbenchmark-dev                      # benchmarks
  libx11-dev                            # windows on Linux are X11 windows
  xvfb x11-apps liblnk-utils            # tests: a virtual display, xeyes, lnkinfo
  python3                               # tests: Python's email package reads the mail we write
  g++-mingw-w64-x86-64 g++-mingw-w64-i686   # the Windows DLL (x64 and x86)
  mingw-w64-tools                       # Windows build helpers (widl, gendef)
  googletest                            # GoogleTest sources, built for Windows
  wine wine64                           # the Windows tests run under Wine 64-bit
  clang-tidy                            # static analysis (scripts/tidy.sh)
  gcovr                                 # coverage reports (scripts/coverage.sh)
)

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
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
