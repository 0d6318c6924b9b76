#!/usr/bin/env bash
# Lists a setup program's contents without running it (the 32-bit one cannot
# run here) and checks that it carries every file, built for its bitness.
#   check_setup.sh SETUP.exe pei-i386|pei-x86-64
set -euo pipefail
setup=$1
format=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

x86_64-w64-mingw32-objdump -f "$setup" | grep -q "file format $format" || fail "$setup is not $format"
listing=$(7z l -slt "$setup")
7z l "$setup" | sed -n '/^-----/,/^-----/p'
for name in Parvex.exe parvex-cli.exe Glimber.dll "Corvane Split.chm" ReadMe.txt Uninstall.exe; do
  echo "$listing" | grep -qx "Path = $name" || fail "$name is missing from $setup"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
7z x -y -o"$work" "$setup" Parvex.exe parvex-cli.exe Glimber.dll "Corvane Split.chm" >/dev/null
for binary in Parvex.exe parvex-cli.exe Glimber.dll; do
  x86_64-w64-mingw32-objdump -f "$work/$binary" | grep -q "file format $format" || fail "$binary in $setup is not $format"
done
head -c 4 "$work/Corvane Split.chm" | grep -q ITSF || fail "the help file in $setup is not a compiled help file"
echo "$setup: every file present, built as $format"
