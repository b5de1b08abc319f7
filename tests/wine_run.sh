#!/bin/sh
# Runs a Windows test program under Wine: wine_run.sh WINE PREFIX PROGRAM [ARGS...].
# The prefix lives in the build tree and is created on first use (wineboot -i), once even
# when several tests start at the same time.
set -e
wine=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$(dirname "$prefix")"
  flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }'
fi
exec "$wine" "$@"
