#!/bin/sh
# Runs navotools tour in a fresh state directory, then again with a WIN.INI of the user's,
# and checks that every step worked and that nothing but the registry store is left:
# no outbox mail, no registry key, WIN.INI byte for byte as it was.
set -eu
tool=$1
home=$2
rm -rf "$home"
mkdir -p "$home"
export NAVOTOOLS_HOME="$home"
"$tool" tour
left=$(cd "$home" && find . -mindepth 1 ! -name 'registry.db*' | sort)
[ -z "$left" ] || { echo "left behind: $left"; exit 1; }
"$tool" reg list 'HKEY_CURRENT_USER\Software' 2>/dev/null | grep -q Tour- && { echo "registry key left behind"; exit 1; }
mkdir -p "$home/windows"
printf '[MAIL]\r\nMAPI=0\r\n; the user'"'"'s own\r\n' > "$home/windows/Win.ini"
cp "$home/windows/Win.ini" "$home/expected.ini"
"$tool" tour
cmp "$home/windows/Win.ini" "$home/expected.ini"
[ ! -e "$home/outbox" ] || [ -z "$(ls -A "$home/outbox")" ]
rm -rf "$home"
