#!/usr/bin/env bash
# Builds the release of the commit checked out twice, in two folders made for
# it, at two times, and compares what we hand out byte for byte. Prints each
# file that differs; exits non-zero when any does.
#   scripts/check-reproducible.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
work=$(mktemp -d /tmp/parvex-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT
for side in a b; do
  git clone -q "$root" "$work/$side-$RANDOM"
done
status=0
dirs=("$work"/*)
for dir in "${dirs[@]}"; do
  (cd "$dir" && scripts/release.sh >/dev/null)
  sleep 2  # another second for any date that slipped through
done
first=${dirs[0]}/build/release
second=${dirs[1]}/build/release
while IFS= read -r file; do
  if ! cmp -s "$first/$file" "$second/$file"; then
    echo "differs: $file"
    status=1
  fi
done < <(cd "$first" && find . -type f -printf '%P\n' | LC_ALL=C sort)
[ $status = 0 ] && echo "the release is the same bytes in both builds"
exit $status
