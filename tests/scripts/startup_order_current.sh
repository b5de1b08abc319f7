#!/bin/sh
# The start-up order list still names the code it lays out: most of its functions are
# defined in the library or the tool. A list gone stale costs speed, not correctness, so a
# few missing names pass; rerun scripts/startup_order.py when this fails.
#   startup_order_current.sh ORDER-FILE LIBRARY TOOL
set -eu
order=$1
shift
names=$(grep -v '^#' "$order" | LC_ALL=C sort -u)
defined=$(mktemp)
nm --defined-only "$@" | awk 'NF == 3 {print $3}' | LC_ALL=C sort -u >"$defined"
total=$(printf '%s\n' "$names" | grep -c .)
found=$(printf '%s\n' "$names" | LC_ALL=C comm -12 - "$defined" | grep -c . || true)
rm -f "$defined"
echo "$found of $total listed functions defined"
if [ "$total" -eq 0 ] || [ $((found * 10)) -lt $((total * 8)) ]; then
  echo "the start-up order list is stale: run scripts/startup_order.py" >&2
  exit 1
fi
