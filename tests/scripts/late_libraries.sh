#!/bin/sh
# ICU, Xlib and SQLite are loaded on first use: the library needs none of them at load,
# and the tool works without them where it does not use them, and fails with a text that
# names the missing library where it does. "Missing" is a broken file under the library's
# soname first in LD_LIBRARY_PATH, which the dynamic loader refuses.
set -eu
tool=$1
library=$2
home=$3
rm -rf "$home"
mkdir -p "$home/state" "$home/lib"
export NAVOTOOLS_HOME="$home/state"

needed=$(readelf -d "$library" | grep NEEDED)
if echo "$needed" | grep -E 'libX11|libxcb|libsqlite3|libicu'; then
  echo "loaded at load time: see above"; exit 1
fi
# The library's other dependencies are the C and C++ run-times only.
# The sanitizer run-times join them in the ASan build.
echo "$needed" | grep -vE '\[(libc|libm|libstdc\+\+|libgcc_s|ld-linux[^]]*|libasan|libubsan)\.so[^]]*\]' && exit 1

# Where the loader looks: every run path entry is absolute or next to the object. An empty
# entry would be the current folder, from which nothing may be loaded by a bare name.
for object in "$tool" "$library" "$(dirname "$library")/mapi32.dll.so"; do
  [ -e "$object" ] || continue
  paths=$(readelf -d "$object" | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]$/\2/p')
  [ -n "$paths" ] || continue
  echo "$paths" | tr ':' '\n' | grep -vE '^(/|\$ORIGIN(/|$))' && { echo "$object: run path '$paths'"; exit 1; }
done
# And so the tool starts from a folder holding a broken C++ run-time.
mkdir -p "$home/cwd"
echo "not a library" > "$home/cwd/libstdc++.so.6"
(cd "$home/cwd" && "$tool" --version > /dev/null)

for soname in libsqlite3.so.0 libX11.so.6 $(ldconfig -p | sed -n 's/^\s*\(libicuuc\.so\.[0-9]*\) .*/\1/p' | head -1); do
  echo "not a library" > "$home/lib/$soname"
done
without() { LD_LIBRARY_PATH="$home/lib" "$@"; }

# Commands that need none of them.
without "$tool" error 5 > "$home/out.txt"
grep -q . "$home/out.txt"
LANG=fr_FR.UTF-8 without "$tool" fileversion "$library" > /dev/null 2>&1 || [ $? -eq 1 ]

# The registry without SQLite: a clear failure, no crash.
status=0
without "$tool" reg query 'HKCU\Software' 2> "$home/err.txt" || status=$?
cat "$home/err.txt"
[ "$status" -eq 1 ] || { echo "exit status $status, 1 expected"; exit 1; }
grep -q 'SQLite is not available: .*libsqlite3\.so\.0' "$home/err.txt"

# Windows without Xlib: as without a display.
status=0
DISPLAY=:97 without "$tool" close NoSuchClass 2> "$home/err.txt" || status=$?
cat "$home/err.txt"
[ "$status" -eq 1 ] || { echo "exit status $status, 1 expected"; exit 1; }
grep -q 'Xlib is not available: .*libX11\.so\.6' "$home/err.txt"

# And with them all the registry works.
"$tool" reg set 'HKCU\Software\LateLibraries' Value REG_DWORD 7
"$tool" reg query 'HKCU\Software\LateLibraries' | grep -q 'REG_DWORD.*(7)'
rm -rf "$home"
echo "ok"
