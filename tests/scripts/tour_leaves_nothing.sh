#!/bin/sh
# Runs navotools tour in a fresh state directory, then again with a WIN.INI of the user's,
# and checks that every step worked and that nothing but the registry store is left:
# no outbox mail, no registry key, WIN.INI byte for byte as it was. The standard keys stay
# stable (the tour makes only its own keys volatile), so that an application's stable key
# can be made below HKCU\Software afterwards.
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
# No volatile key at the levels of the standard keys.
for key in HKCU 'HKCU\Software' 'HKCU\Software\Microsoft' 'HKCU\Control Panel' HKLM 'HKLM\SOFTWARE' \
    'HKLM\SOFTWARE\Microsoft\Windows' 'HKLM\SYSTEM\CurrentControlSet' HKU HKCC; do
  listing=$("$tool" reg list "$key") || { echo "cannot list $key"; exit 1; }
  if printf '%s\n' "$listing" | grep -q volatile; then
    echo "volatile below $key:"; printf '%s\n' "$listing"; exit 1
  fi
done
mkdir -p "$home/windows"
printf '[MAIL]\r\nMAPI=0\r\n; the user'"'"'s own\r\n' > "$home/windows/Win.ini"
cp "$home/windows/Win.ini" "$home/expected.ini"
"$tool" tour
cmp "$home/windows/Win.ini" "$home/expected.ini"
[ ! -e "$home/outbox" ] || [ -z "$(ls -A "$home/outbox")" ]
# An application's stable key below HKCU\Software, after the tour.
"$tool" reg set 'HKCU\Software\MyApp' a REG_SZ b
"$tool" reg list 'HKCU\Software' | grep -qx 'MyApp' || { echo "MyApp missing or not stable:"; "$tool" reg list 'HKCU\Software'; exit 1; }
rm -rf "$home"
