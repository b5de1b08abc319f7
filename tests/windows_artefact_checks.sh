#!/usr/bin/env bash
# Checks of a Windows NavoTools.dll that is built but not run here (the x86 one):
#   windows_artefact_checks.sh DLL MACHINE NAVOTOOLS
# MACHINE is i686 or x86_64 (which objdump reads it and which PE format it must be);
# NAVOTOOLS is the Linux command-line tool, which reads PE files' resources.
# The DLL must be of the right format, export the library's interface, hold the string
# table in 1033 and 1042 and the version block 1.0.0.4, and import system DLLs only.
set -euo pipefail
dll=$1
machine=$2
tool=$3
objdump=$machine-w64-mingw32-objdump
case $machine in
  i686) magic="010b	(PE32)" ;;
  x86_64) magic="020b	(PE32+)" ;;
  *) echo "unknown machine $machine" >&2; exit 2 ;;
esac

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

headers=$("$objdump" -p "$dll")
grep -qF "Magic			$magic" <<<"$headers" && pass "format $magic" || fail "not a $magic image"
grep -q "^Characteristics.*" <<<"$headers" && grep -q "DLL" <<<"$(grep -A12 '^Characteristics' <<<"$headers")" \
  && pass "a DLL" || fail "not flagged as a DLL"

# The export table: the names of the exported interface, undecorated where the compiler
# decorates them (stdcall @n on x86, C++ mangling).
exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers")
count=$(grep -c '^	\[' <<<"$exports" || true)
[ "$count" -ge 200 ] && pass "$count exports" || fail "only $count exports"
# (windows.h names CString's LoadString LoadStringA, as it does for MFC.)
for symbol in \
  NavoToolsGetEntryRoutines \
  _Z17AfxGetModuleStatev \
  _Z22AfxInitExtensionModuleR20AFX_EXTENSION_MODULEP11HINSTANCE__ \
  _ZN15CDynLinkLibraryC1ER20AFX_EXTENSION_MODULEi \
  _ZN7CString11LoadStringAEj \
  _Z13AfxMessageBoxPKcjj \
  _Z28GetHttpStatusCodeDescriptionl \
  _Z8SendMail7CStringS_S_RK12CStringArray \
  _ZN12CWinRegistry11GetStrValueE7CStringRS0_; do
  grep -q "\] $symbol\(@[0-9]*\)\?$" <<<"$exports" && pass "exports $symbol" || fail "does not export $symbol"
done

# Imports: system DLLs only (the mingw run-time is linked in).
allowed="ADVAPI32.dll KERNEL32.dll msvcrt.dll ole32.dll SHELL32.dll SHLWAPI.dll USER32.dll VERSION.dll"
imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print $3}')
for name in $imports; do
  if grep -qiw -- "$name" <<<"$allowed"; then pass "imports $name"; else fail "imports $name, not a system DLL"; fi
done
grep -qi 'libstdc++\|libgcc\|libwinpthread' <<<"$imports" && fail "imports the mingw run-time"

# Resources, read back by the Linux tool: every string block in both languages, the
# version block, and the version numbers.
resources=$("$tool" resources "$dll")
for lang in 1033 1042; do
  n=$(grep -c "^STRING	#[0-9]*	$lang	" <<<"$resources" || true)
  [ "$n" -eq 7 ] && pass "7 string blocks in $lang" || fail "$n string blocks in $lang, not 7"
done
grep -q "^VERSION	#1	1033	" <<<"$resources" && pass "version block" || fail "no version block"
version=$("$tool" fileversion "$dll")
grep -qF ": 1.00.04 (1.0.0.4)" <<<"$version" && pass "version 1.0.0.4" || fail "version: $version"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) of $dll failed" >&2
  exit 1
fi
echo "all checks of $dll passed"
