#!/usr/bin/env bash
# Builds both Windows flavours and gathers what we hand out in build/release:
#   Setup-x86.exe, Setup-x64.exe           the setup programs
#   x86/, x64/                             the bare programs of each bitness
#   SHA256SUMS                             checksums of all of it (sha256sum -c)
#   scripts/release.sh [--no-build]        (--no-build: use the builds as they are)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" != --no-build ]; then
  scripts/install-prerequisites.sh all
  . scripts/flavours.sh
  build_flavour win-x86_64
  build_flavour win-i686
fi

out=build/release
rm -rf "$out"
mkdir -p "$out/x86" "$out/x64"
for pair in "x86 win-i686" "x64 win-x86_64"; do
  set -- $pair
  arch=$1 dir=build/$2
  cp "$dir/Setup-$arch.exe" "$out/"
  cp "$dir/Parvex.exe" "$dir/Glimber.dll" "$dir/parvex-cli.exe" "$dir/Corvane Split.chm" "$out/$arch/"
  cp installer/ReadMe.txt "$out/$arch/"
done
(cd "$out" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
  sha256sum -- "$f"
done >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "Release in $out:"
(cd "$out" && ls -l --time-style=+ Setup-*.exe x86 x64 SHA256SUMS)
