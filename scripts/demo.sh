#!/usr/bin/env bash
# Builds the command-line splitter and splits FILE (or a generated 5 MB
# sample) into floppy-sized pieces, then lists what was written.
#   scripts/demo.sh [FILE] [split options, e.g. --10mb or --files 3]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-prerequisites.sh native
cmake --preset release-native >/dev/null
cmake --build build/bench --target parvex >/dev/null
parvex=$PWD/build/bench/parvex

out=$PWD/build/demo-output
rm -rf "$out"
mkdir -p "$out"
if [ $# -gt 0 ]; then
  source=$(realpath "$1")
  shift
else
  source=$out/sample.bin
  head -c 5000000 /dev/urandom >"$source"
  mkdir -p "$out/pieces"
  out=$out/pieces
fi
[ $# -gt 0 ] || set -- --floppy

echo "\$ parvex split $source --to $out $*"
"$parvex" split "$source" --to "$out" --yes "$@"
echo
echo "Written to $out:"
ls -l "$out"
echo
echo "Go.bat:"
cat "$out/Go.bat"
