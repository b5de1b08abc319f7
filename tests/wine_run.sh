#!/bin/sh
# Runs a Windows test program under Wine: wine_run.sh WINE PREFIX PROGRAM [ARGS...].
# WINE is the loader of the program's architecture: wine64 for x64 programs, the 32-bit
# loader (Debian's wine32:i386) for x86 ones. The prefix lives in the build tree and is
# created on first use (wineboot -i, by that same loader), once even when several tests
# start at the same time.
set -e
wine=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono or Gecko installer prompts while the prefix is made.
# mapi32=n,b: Wine loads its builtin mapi32 even for LoadLibraryA with the full path of
# another mapi32.dll, where the platform loads the file named; the mail tests load their
# recording provider by path, and with native first Wine loads that file.
export WINEDLLOVERRIDES="mscoree,mshtml=;mapi32=n,b"
# The tests run without a display: Wine's null display driver holds their windows (the
# X11 driver would refuse to create them).
if [ ! -f "$prefix/.navotools-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  export NAVOTOOLS_WINE="$wine"
  flock "$prefix.lock" sh -c '[ -f "$WINEPREFIX/.navotools-ready" ] || {
    "$NAVOTOOLS_WINE" wineboot -i >/dev/null 2>&1 &&
    "$NAVOTOOLS_WINE" reg add "HKCU\\Software\\Wine\\Drivers" /v Graphics /d null /f >/dev/null 2>&1 &&
    wineserver -w && touch "$WINEPREFIX/.navotools-ready"; }'
fi
exec "$wine" "$@"
