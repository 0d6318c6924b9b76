#!/usr/bin/env bash
# The help file is the same bytes however often and wherever it is built:
# built again from the same pages in two other folders, at other times, it
# equals the one the build made.
#   check_help_reproducible.sh HELP_DIR BUILT.chm SOURCE_DATE_EPOCH
set -euo pipefail
help=$1 built=$2 epoch=$3
work=$(mktemp -d /tmp/parvex-help.XXXXXX)
trap 'rm -rf "$work"' EXIT
for dir in "$work/a" "$work/a much longer folder name/b"; do
  mkdir -p "$dir"
  cp -r "$help" "$dir/pages"
  python3 "$help/build-chm.py" "$dir/pages" "Corvane Split.hhp" "$dir/out.chm" "$epoch" 2>/dev/null
  if ! cmp "$built" "$dir/out.chm"; then
    echo "the help file built in $dir differs from the build's" >&2
    exit 1
  fi
done
echo "help file: the same bytes in three builds"
