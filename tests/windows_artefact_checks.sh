#!/usr/bin/env bash
# Checks of a Windows NavoTools.dll as it ships:
#   windows_artefact_checks.sh DLL MACHINE NAVOTOOLS
# MACHINE is i686 or x86_64 (which objdump reads it and which PE format it must be);
# NAVOTOOLS is the Linux command-line tool, which reads PE files' resources.
# The DLL must be of the right format, export the library's interface, hold the string
# table in 1033 and 1042 and the version block 1.0.0.4, and import what its architecture's
# way of linking the C++ run-time gives (cmake/toolchains/mingw-common.cmake): system DLLs
# only on x64; on x86 the shared run-time as well, which must lie beside it.
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

# Imports: system DLLs, and on x86 the shared C++ run-time (DWARF-2 unwinding: one unwinder
# for every module, so that exceptions cross from the DLL to the application).
system="ADVAPI32.dll KERNEL32.dll msvcrt.dll ole32.dll SHELL32.dll SHLWAPI.dll USER32.dll VERSION.dll"
case $machine in
  i686) runtime="libgcc_s_dw2-1.dll libstdc++-6.dll libwinpthread-1.dll" ;;
  x86_64) runtime="" ;;
esac
imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print $3}')
for name in $imports; do
  if grep -qiw -- "$name" <<<"$system"; then pass "imports $name"
  elif grep -qiwF -- "$name" <<<"$runtime"; then pass "imports $name (the shared run-time)"
  else fail "imports $name, neither a system DLL nor the run-time of $machine"; fi
done
for name in $runtime; do
  grep -qixF -- "$name" <<<"$imports" || [ "$name" = libwinpthread-1.dll ] \
    || fail "does not import $name: the run-time is linked in, and exceptions cannot leave the DLL"
  if [ -f "$(dirname "$dll")/$name" ]; then pass "$name ships beside it"; else fail "$name is not beside it"; fi
  # The run-time's own imports are system DLLs or the run-time itself.
  if [ -f "$(dirname "$dll")/$name" ]; then
    for dep in $("$objdump" -p "$(dirname "$dll")/$name" | grep 'DLL Name:' | awk '{print $3}'); do
      grep -qiw -- "$dep" <<<"$system" || grep -qiwF -- "$dep" <<<"$runtime" \
        || fail "$name imports $dep, which does not ship"
    done
  fi
done
if [ -z "$runtime" ]; then
  ! grep -qi 'libstdc++\|libgcc\|libwinpthread' <<<"$imports" || fail "imports the mingw run-time"
fi

# The user interface is the platform's: the message box and the wait cursor come from USER32.
for function in MessageBoxA SetCursor LoadCursorA; do
  grep -qE "^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+$function$" <<<"$headers" \
    && pass "imports $function" || fail "does not import $function"
done

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
