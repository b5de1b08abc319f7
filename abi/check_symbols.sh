#!/bin/sh
# The exported interface of libNavoTools.so against the committed list.
#
#   abi/check_symbols.sh LIBRARY           compare; exit 1 and show the difference if the
#                                          library exports anything else, or any symbol
#                                          without the version node NAVOTOOLS_1.0
#   abi/check_symbols.sh --update LIBRARY  write the library's list to abi/libNavoTools.symbols
set -eu
list="$(cd "$(dirname "$0")" && pwd)/libNavoTools.symbols"
update=0
if [ "${1:-}" = "--update" ]; then update=1; shift; fi
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 [--update] path/to/libNavoTools.so" >&2
  exit 2
fi

# One line a symbol: the mangled name and its version, sorted bytewise. GNU ld also
# exports the version node as an absolute symbol of its name and lld does not; it is no
# part of the interface, and is left out.
exported=$(nm -D --defined-only --with-symbol-versions "$1" | awk '{print $NF}' | grep -v '^NAVOTOOLS_1\.0$' |
  LC_ALL=C sort -u)

unversioned=$(printf '%s\n' "$exported" | grep -v -e '@@NAVOTOOLS_1\.0$' || true)
if [ -n "$unversioned" ]; then
  echo "exported without the version node NAVOTOOLS_1.0:" >&2
  printf '%s\n' "$unversioned" >&2
  exit 1
fi

if [ "$update" = 1 ]; then
  printf '%s\n' "$exported" >"$list"
  echo "wrote $(printf '%s\n' "$exported" | wc -l) symbols to $list"
  exit 0
fi

if ! printf '%s\n' "$exported" | diff -u "$list" - >/dev/null; then
  echo "the exported interface of $1 differs from $list" >&2
  echo "(- only in the list, + only in the library; demangled below):" >&2
  printf '%s\n' "$exported" | diff -u "$list" - | tail -n +3 | grep '^[-+]' | c++filt >&2 || true
  echo "If the change is deliberate: $0 --update $1" >&2
  exit 1
fi
echo "$(printf '%s\n' "$exported" | wc -l) exported symbols, all NAVOTOOLS_1.0, as listed"
