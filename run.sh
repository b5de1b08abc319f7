#!/usr/bin/env bash
# Builds NavoTools and runs the navotools tool: with no arguments its tour of the library
# on the embedded default state, otherwise the command given (./run.sh error 5).
# It installs only what building and running need (scripts/bootstrap.sh run) and builds in
# build/run without the tests and benchmarks; ./test.sh installs and builds the rest.
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh run
cmake --preset default -B build/run -DNAVOTOOLS_TESTS=OFF -DNAVOTOOLS_BENCH=OFF >/dev/null
cmake --build build/run --target navotools
if [ $# -eq 0 ]; then set -- tour; fi
exec build/run/navotools "$@"
