#!/usr/bin/env bash
# Builds what we hand out of the commit checked out once more, in a folder
# of another name at another time, and compares it byte for byte: the
# programs, the DLL, the help file and both setups of both bitnesses. Prints
# each file that differs; exits non-zero when any does.
#   scripts/check-reproducible.sh           two release builds of their own
#   scripts/check-reproducible.sh --beside  one, against build/win-x86_64 and
#                                           build/win-i686 as they are (what
#                                           the test run does after building)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=${1:-}
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "check-reproducible: the work tree has changes; a build of the commit would differ from it" >&2
  exit 1
fi
work=$(mktemp -d /tmp/parvex-repro.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The files of one build of both bitnesses, by the names they are handed
# out under.
files_of() {
  local dir=$1
  for pair in "x86 win-i686" "x64 win-x86_64"; do
    set -- $pair
    for f in Parvex.exe parvex-cli.exe Glimber.dll "Corvane Split.chm" "Setup-$1.exe"; do
      printf '%s\t%s\n' "$1/$f" "$dir/build/$2/$f"
    done
  done
}

# Only what is handed out is built: the setups and the command line.
build_products() {
  (cd "$1" && . scripts/flavours.sh && for flavour in win-x86_64 win-i686; do
     cmake --preset "$flavour" >/dev/null
     cmake --build "build/$flavour" -j "$(nproc)" --target setup parvex-cli >/dev/null
   done)
}

other="$work/a folder of another name-$RANDOM"
git clone -q "$root" "$other"
if [ "$mode" = --beside ]; then
  first=$root
else
  first="$work/first"
  git clone -q "$root" "$first"
  build_products "$first"
  sleep 2  # another second for any date that slipped through
fi
build_products "$other"

status=0
while IFS=$'\t' read -r name a _ b; do
  if ! cmp -s "$a" "$b"; then
    echo "differs: $name"
    status=1
  fi
done < <(paste <(files_of "$first") <(files_of "$other"))
[ $status = 0 ] && echo "the release is the same bytes in both builds"
exit $status
