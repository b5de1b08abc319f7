#!/bin/sh
# navotools reg from a shell: values of every kind set, exported in both formats, deleted,
# imported again and queried back unchanged; a protected key refuses writes.
set -eu
tool=$1
home=$2
rm -rf "$home"
mkdir -p "$home"
export NAVOTOOLS_HOME="$home"
key='HKCU\Software\RoundTrip'
"$tool" reg set "$key" Text REG_SZ "$(printf 'caf\303\251 "quoted" \\ back')"
"$tool" reg set "$key" Path REG_EXPAND_SZ '%HOME%\bin'
"$tool" reg set "$key" List REG_MULTI_SZ one two three
"$tool" reg set "$key" Number REG_DWORD 0xDEADBEEF
"$tool" reg set "$key" Big REG_QWORD 0x0123456789ABCDEF
"$tool" reg set "$key" Bytes REG_BINARY 00,01,fe,ff
"$tool" reg set "$key" Odd 0x12345 0a0b
"$tool" reg set "$key" "" REG_SZ default
"$tool" reg set "$key\\Child" Inner REG_DWORD 7
"$tool" reg query "$key" > "$home/before.txt"
"$tool" reg query "$key\\Child" >> "$home/before.txt"
# Every value is listed, so that comparing the listings compares the values.
[ "$(grep -c . "$home/before.txt")" -ge 9 ] || { cat "$home/before.txt"; exit 1; }
for format in 4 5; do
  "$tool" reg export "$key" "$home/export$format.reg" --format $format
  "$tool" reg delete "$key"
  if "$tool" reg query "$key" >/dev/null 2>&1; then echo "key still there after delete"; exit 1; fi
  "$tool" reg import "$home/export$format.reg"
  "$tool" reg query "$key" > "$home/after.txt"
  "$tool" reg query "$key\\Child" >> "$home/after.txt"
  cmp "$home/before.txt" "$home/after.txt"
done
head -c 2 "$home/export5.reg" | od -An -tx1 | grep -q 'ff fe'
head -n 1 "$home/export4.reg" | grep -q '^REGEDIT4'
"$tool" reg protect "$key"
if "$tool" reg set "$key" Text REG_SZ changed 2>/dev/null; then echo "protected key took a write"; exit 1; fi
"$tool" reg protect "$key" --off
"$tool" reg set "$key" Text REG_SZ changed
rm -rf "$home"
