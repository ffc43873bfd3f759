#!/usr/bin/env bash
# The qemeta tool on files written by another program (QeMetaSamples), whose types qemeta does not
# know: info, convert both ways byte for byte, check of good and damaged files, usage and exit codes.
# Arguments: qemeta.exe, QeMetaSamples.exe, a scratch folder.
set -u
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../tools/wine-run"
qemeta=$1
samples=$2
work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Runs qemeta with both outputs in one file, as a pipe takes them; its output (CR removed) in
# $out, its exit code in $rc.
q() {
  "$run" "$qemeta" "$@" >q.out 2>&1
  rc=$?
  out=$(tr -d '\r' <q.out)
}
expect() { # expect TEXT: the last output holds TEXT
  case "$out" in *"$1"*) ;; *) fail "expected '$1' in: $out" ;; esac
}
internal_path() { # internal_path COMMAND: the last output names no file by an internal path
  case "$out" in *'$'* | *'Z:'* | *'\'*) fail "$1 names a file by an internal path: $out" ;; esac
}

"$run" "$samples" || { echo "FAIL: the samples were not written"; exit 1; }
[ -s Sample.mtb ] && [ -s Sample.txt ] || { echo "FAIL: no samples"; exit 1; }

q info Sample.mtb
[ "$rc" = 0 ] || fail "info exit $rc"
expect "form: binary, format version 8"
expect "objects: 4 (4 internal, 0 edit, 0 in other files)"
expect "CQsWhole (Struct, format 2, 1 objects) UNKNOWN"
expect "CQsPart (Struct, format 3, 3 objects) UNKNOWN"
expect "FLOAT (Simple, format"
q info Sample.txt
expect "form: text, format version 8"
expect "saved by program version: (text files do not record it)"

q convert Sample.mtb Converted.txt --text
[ "$rc" = 0 ] || fail "convert to text exit $rc: $out"
cmp -s Converted.txt Sample.txt || fail "the converted text differs from the program's own text"
q convert Converted.txt Back.mtb
[ "$rc" = 0 ] || fail "convert back exit $rc: $out"
cmp -s Back.mtb Sample.mtb || fail "binary -> text -> binary is not byte-identical"
grep -q 'qw_iFormerName {' Converted.txt || fail "the aliased member is not under its alias"

q check Sample.mtb Sample.txt Back.mtb
[ "$rc" = 0 ] || fail "check of good files exit $rc: $out"
expect "Sample.txt: ok"

# A malformed text line and a cut binary file: both reported, with the line and the offset.
perl -0pe 's/\n(\s*)Type: 2\r\n/\n$1Type: 12x\r\n/' Sample.txt >Bad.txt
line=$(grep -n 'Type: 12x' Bad.txt | head -1 | cut -d: -f1)
head -c 300 Sample.mtb > Cut.mtb
printf 'Some notes, not metadata.\r\n' >Notes.txt
q check Sample.mtb Bad.txt Cut.mtb Notes.txt Missing.txt
[ "$rc" = 1 ] || fail "check of bad files exit $rc"
expect "Bad.txt($line): Invalid integer ': 12x'"
expect "Cut.mtb: "
expect " at offset "
expect "Notes.txt: This is not a metadata file."
expect "Missing.txt: cannot be opened: there is no such file"
expect "4 of 5 files failed"
# Every file under the name it was given, and the report in the order of the files (errors and
# summary on one stream, each line out before the next).
internal_path "check"
order=$(printf '%s\n' "$out" | grep -o -E '^(Sample.mtb|Bad.txt|Cut.mtb|Notes.txt|Missing.txt|4 of)' | tr '\n' ' ')
[ "$order" = "Sample.mtb Bad.txt Cut.mtb Notes.txt Missing.txt 4 of " ] || fail "report out of order: $order"
q convert Bad.txt Never.mtb
[ "$rc" = 1 ] || fail "convert of a bad file exit $rc"
[ -e Never.mtb ] && fail "a failed conversion left its output"
expect "Bad.txt($line): Invalid integer ': 12x'"
# The other commands name files as typed too.
internal_path "convert"
q info Cut.mtb
[ "$rc" = 1 ] || fail "info of a cut file exit $rc"
expect "Cut.mtb: "
internal_path "info"
q convert Notes.txt Never.mtb
expect "Notes.txt: This is not a metadata file."
internal_path "convert"

q
[ "$rc" = 2 ] || fail "no arguments exit $rc"
expect "usage: qemeta info FILE"
expect "exit codes:"
q frobnicate
[ "$rc" = 2 ] || fail "an unknown command exit $rc"
q convert Sample.mtb X --json
[ "$rc" = 2 ] || fail "an unknown form exit $rc"
q info Missing.mtb
[ "$rc" = 1 ] || fail "a missing file exit $rc"
expect "Missing.mtb: cannot be opened: there is no such file"
mkdir -p Folder.mtb
q info Folder.mtb
expect "Folder.mtb: cannot be opened: it is a folder"
q convert Sample.mtb NoSuchFolder/Out.txt
[ "$rc" = 1 ] || fail "a convert into a missing folder exit $rc"
expect "NoSuchFolder/Out.txt: cannot be written: its folder NoSuchFolder does not exist"

[ $failures = 0 ] && echo "qemeta: all checks passed"
exit $failures
