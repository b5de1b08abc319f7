#!/bin/sh
# navotools as a Unix tool: exit codes, usage errors, "-" for the standard streams, a full
# standard output, the one message form with the readers' diagnoses, HRESULT texts,
# --version, help, the generated man page, completion and documentation, and resources
# read without running a module's code.
# Usage: navotools_cli.sh TOOL WORKDIR SOURCEDIR MARKER_MODULE RESOURCE_DLL
set -u
tool=$1 work=$2 source=$3 module=$4 dll=$5
rm -rf "$work"
mkdir -p "$work/home"
export NAVOTOOLS_HOME="$work/home" NAVOTOOLS_MAIL_DELIVERY=outbox
unset DISPLAY
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# check STATUS STDERR-PATTERN ARGS...: runs the tool, compares the exit status and greps
# standard error for the pattern (an extended regular expression; "" expects it empty).
check() {
  want=$1 pattern=$2
  shift 2
  "$tool" "$@" >"$work/out" 2>"$work/err" </dev/null
  got=$?
  [ "$got" = "$want" ] || fail "navotools $*: exit $got, expected $want: $(cat "$work/err")"
  if [ -z "$pattern" ]; then
    [ ! -s "$work/err" ] || fail "navotools $*: unexpected message: $(cat "$work/err")"
  else
    grep -Eq -- "$pattern" "$work/err" || fail "navotools $*: message '$(cat "$work/err")' lacks /$pattern/"
  fi
}

printf 'plain text\n' >"$work/text"
mkdir "$work/folder"
head -c 3000 "$dll" >"$work/cut.dll"
# A well-formed link, cut inside its LinkInfo.
"$tool" shortcut /usr/bin/xeyes "$work" >"$work/shortcut.out" || fail "shortcut"
head -c 100 "$work/xeyes.LNK" >"$work/cut.lnk"

# Usage errors: exit 2, one line of reason, a pointer to --help.
check 2 "^navotools: error: .*--bogus" error 5 --bogus
grep -q "^Try 'navotools error --help'" "$work/err" || fail "no pointer to --help: $(cat "$work/err")"
[ "$(wc -l <"$work/err")" -eq 2 ] || fail "usage error is not two lines: $(cat "$work/err")"
check 2 "^navotools: fileversion: .*FILE" fileversion
check 2 "--bogus" fileversion --bogus
check 2 "^navotools: error: CODE is required" error
check 2 "not a 32-bit number" http 1x
check 2 "nosuch" nosuch
check 2 "a command is required" 
check 2 "^navotools: reg export: " reg export HKCU --format 7 x
check 2 "unknown root" reg query NOROOT\\x
# "--" ends the options; a negative number is an operand.
check 0 "" escape -- "--x y"
[ "$(cat "$work/out")" = "--x%20y" ] || fail "escape -- gave $(cat "$work/out")"
check 1 "" error -1
grep -q '^\[0xFFFFFFFF\]' "$work/out" || fail "error -1 gave $(cat "$work/out")"

# --version and help.
check 0 "" --version
grep -Eq '^navotools [0-9]+\.[0-9]+' "$work/out" || fail "--version: $(cat "$work/out")"
grep -Eq '^NavoTools library [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' "$work/out" || fail "--version: $(cat "$work/out")"
check 0 "" --help
grep -q '^  reg ' "$work/out" || fail "--help lists no reg"
for words in "reg" "reg export" "mail" "ini set" "error"; do
  # shellcheck disable=SC2086
  "$tool" help $words >"$work/a" && "$tool" $words --help >"$work/b" && cmp -s "$work/a" "$work/b" ||
    fail "help $words differs from $words --help"
done

# Standard output that cannot be written.
for args in "http 404" "error 5" "escape x" "--help" "version" "os"; do
  # shellcheck disable=SC2086
  "$tool" $args >/dev/full 2>"$work/err"
  status=$?
  [ $status -eq 1 ] || fail "$args >/dev/full: exit $status"
  grep -q "cannot write standard output" "$work/err" || fail "$args >/dev/full: $(cat "$work/err")"
done
printf 'a b' | "$tool" escape - >/dev/full 2>/dev/null && fail "escape - >/dev/full succeeded"

# "-" is standard input or output.
[ "$(printf 'a b+c' | "$tool" escape -)" = "a%20b%2Bc" ] || fail "escape -"
"$tool" reg set 'HKCU\Software\CliTest' Name REG_SZ value || fail "reg set"
"$tool" reg export 'HKCU\Software\CliTest' - --format 4 >"$work/export.reg" || fail "reg export -"
head -n 1 "$work/export.reg" | grep -q '^REGEDIT4' || fail "reg export - wrote $(head -c 80 "$work/export.reg")"
[ ! -e ./- ] || fail "reg export - made a file named -"
"$tool" reg delete 'HKCU\Software\CliTest' || fail "reg delete"
"$tool" reg import - <"$work/export.reg" || fail "reg import -"
[ "$("$tool" reg query 'HKCU\Software\CliTest' Name)" = "$(printf 'Name\tREG_SZ\tvalue')" ] || fail "reg import - lost the value"
"$tool" ini set WIN.INI MAIL MAPI 1 || fail "ini set"
printf 'body from standard input\n' | "$tool" mail --to ann@example.org --subject s --body - >"$work/mail.out" ||
  fail "mail --body -"
sent=$(sed -n 's/^mail to ann@example.org placed in the outbox: //p' "$work/mail.out")
[ -f "$sent" ] || fail "mail did not say where the message went: $(cat "$work/mail.out")"
grep -q "body from standard input" "$sent" 2>/dev/null || fail "mail body not from standard input"

# One message form, with the readers' diagnoses and offsets.
check 1 "^navotools: fileversion: $work/text: no version information: .*: neither a PE nor an ELF file \(at offset 0x0\)$" fileversion "$work/text"
check 1 "^navotools: fileversion: $work/folder: no version information: .*: $work/folder is a folder" fileversion "$work/folder"
check 1 "^navotools: fileversion: $work/cut.dll: no version information: .*\(at offset 0x[0-9a-f]+\)$" fileversion "$work/cut.dll"
# Many files: every report, in the order given, however they are written out (a report
# is about 100 bytes, so these take several writes), and the versions among them.
set --
for i in $(seq 120); do set -- "$@" "$work/text" "$work/folder"; done
check 1 "^navotools: fileversion: $work/text: " fileversion "$@" "$dll" "$work/cut.dll"
[ "$(wc -l <"$work/err")" -eq 241 ] || fail "fileversion of 242 files: $(wc -l <"$work/err") reports, 241 expected"
[ "$(sed -n '1p;2p;240p;241p' "$work/err" | sed 's/^navotools: fileversion: \([^:]*\):.*/\1/' | tr '\n' ' ')" = \
  "$work/text $work/folder $work/folder $work/cut.dll " ] || fail "fileversion reports out of order: $(sed -n '1,2p;240,241p' "$work/err")"
grep -q "^$dll: 1\.00\.04 (1\.0\.0\.4)$" "$work/out" || fail "fileversion among failures: $(cat "$work/out")"
check 1 "^navotools: resources: .*neither a PE nor an ELF file" resources "$work/text"
grep -q "\.dll" "$work/err" && fail "resources of a text file speaks of .dll: $(cat "$work/err")"
check 1 "^navotools: resources: .*is a folder" resources "$work/folder"
check 1 "^navotools: resources: $work/cut.dll: no resources: .*\(at offset 0x[0-9a-f]+\)$" resources "$work/cut.dll"
check 1 "^navotools: lnk: cannot read $work/cut.lnk: .*: not a shell link: .*\(at offset 0x[0-9a-f]+\)$" lnk "$work/cut.lnk"
check 1 "^navotools: lnk: cannot read $work/text: .*not a shell link" lnk "$work/text"
check 1 "^navotools: lnk: cannot read $work/folder: .*is a folder" lnk "$work/folder"
check 1 "^navotools: lnk: cannot read $work/none.lnk: [A-Z]" lnk "$work/none.lnk"
check 1 "^navotools: close: cannot close XEyes: no display" close XEyes
DISPLAY=:97 "$tool" close XEyes 2>"$work/err"; [ $? -eq 1 ] && grep -q "no display: cannot connect to :97" "$work/err" ||
  fail "close with a dead display: $(cat "$work/err")"
check 1 "^navotools: start: cannot start: Cannot run $work/none: " start "$work/none"

# HRESULT texts: FACILITY_WIN32 codes read as their Win32 code, E_FAIL and E_NOTIMPL as
# on Wine.
for pair in "0x80070005 5" "0x80070002 2" "0x8007000B 11" "0x800700CE 206"; do
  set -- $pair
  a=$("$tool" error "$1" | tr -d '\r' | sed 's/^\[0x[0-9A-F]*\] //')
  b=$("$tool" error "$2" | tr -d '\r' | sed 's/^\[0x[0-9A-F]*\] //')
  [ -n "$a" ] && [ "$a" = "$b" ] || fail "error $1 gave '$a', error $2 gave '$b'"
done
[ "$("$tool" error 0x80004005 | tr -d '\r')" = "[0x80004005] Call failed." ] || fail "E_FAIL"
[ "$("$tool" error 0x80004001 | tr -d '\r')" = "[0x80004001] Not implemented." ] || fail "E_NOTIMPL"

# The shortcut's path is the file written.
written=$(cat "$work/shortcut.out")
[ "$written" = "$work/xeyes.LNK" ] && [ -f "$written" ] || fail "shortcut printed '$written'"

# Reading a module's resources runs none of its code.
export NAVOTOOLS_TEST_MARKER="$work/marker"
"$tool" resources "$module" >"$work/out" 2>&1 || fail "resources of the marker module: $(cat "$work/out")"
grep -q '^STRING' "$work/out" || fail "resources of the marker module: $(cat "$work/out")"
"$tool" message "$module" 1 >/dev/null 2>&1
[ ! -e "$work/marker" ] || fail "listing resources ran the module's constructor"
unset NAVOTOOLS_TEST_MARKER

# The man page, the completion and the documentation come from the declarations.
"$tool" --generate man >"$work/navotools.1" || fail "--generate man"
grep -q '^\.TH NAVOTOOLS 1' "$work/navotools.1" && grep -q 'reg export' "$work/navotools.1" || fail "man page"
if command -v man >/dev/null 2>&1; then
  MANWIDTH=80 man -l "$work/navotools.1" >/dev/null 2>"$work/err" || fail "man -l: $(cat "$work/err")"
fi
"$tool" --generate bash >"$work/completion" || fail "--generate bash"
bash -c '
  . "$1"
  complete() { :; }
  COMP_WORDS=(navotools re); COMP_CWORD=1; _navotools; [[ " ${COMPREPLY[*]} " == *" reg "* ]] || exit 1
  COMP_WORDS=(navotools reg ex); COMP_CWORD=2; _navotools; [[ "${COMPREPLY[*]}" == "export" ]] || exit 2
  COMP_WORDS=(navotools reg query HKEY_CURRENT_U); COMP_CWORD=3; _navotools; [[ "${COMPREPLY[*]}" == "HKEY_CURRENT_USER\\" ]] || exit 3
  COMP_WORDS=(navotools reg export HKCU --f); COMP_CWORD=4; _navotools; [[ "${COMPREPLY[*]}" == "--format" ]] || exit 4
  COMP_WORDS=(navotools ini get WIN.INI S K); COMP_CWORD=5; _navotools; [[ "${COMPREPLY[*]}" != *HKEY* ]] || exit 5
' sh "$work/completion" || fail "bash completion (case $?)"
"$tool" --generate markdown >"$work/reference.md" || fail "--generate markdown"
sed -n '/^<!-- generated: navotools --generate markdown -->$/,/^<!-- end of generated -->$/p' "$source/docs/navotools.md" |
  sed '1d;$d' >"$work/documented.md"
diff -u "$work/documented.md" "$work/reference.md" >"$work/doc.diff" ||
  fail "docs/navotools.md differs from the help (regenerate with navotools --generate markdown): $(head -20 "$work/doc.diff")"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
rm -rf "$work"
echo "all navotools command-line checks passed"
