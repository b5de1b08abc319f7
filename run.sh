#!/usr/bin/env bash
# Builds NavoTools and runs the navotools tool: with no arguments its tour of the library
# on the embedded default state, otherwise the command given (./run.sh error 5).
set -euo pipefail
cd "$(dirname "$0")"
scripts/bootstrap.sh
cmake --preset default >/dev/null
cmake --build --preset default --target navotools
if [ $# -eq 0 ]; then set -- tour; fi
exec build/default/navotools "$@"
