#!/usr/bin/env bash
# Builds both Windows flavours and gathers what we hand out in build/release:
#   Setup-x86.exe, Setup-x64.exe           the setup programs
#   x86/, x64/                             the bare programs of each bitness
#   SHA256SUMS                             checksums of all of it (sha256sum -c)
#   scripts/release.sh [--no-build] [--sign CERT.pfx [--password PASS] [--timestamp URL]] [--out DIR]
#     --no-build   use the builds as they are
#     --sign       Authenticode-sign every program, the DLL, the uninstaller
#                  inside each setup and both setups (osslsigncode); the
#                  password may also come in PARVEX_SIGN_PASS
#     --out        where the release goes (default build/release)
set -euo pipefail
# Paths given are the caller's; the default output is the project's.
build=1 cert="" timestamp="" out=""
while [ $# -gt 0 ]; do
  case $1 in
    --no-build) build=0 ;;
    --sign) cert=$(realpath "$2"); shift ;;
    --password) export PARVEX_SIGN_PASS=$2; shift ;;
    --timestamp) timestamp=$2; shift ;;
    --out) out=$(realpath -m "$2"); shift ;;
    *) echo "release.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done
cd "$(dirname "$0")/.."
[ -n "$out" ] || out=$PWD/build/release
if [ $build = 1 ]; then
  scripts/install-prerequisites.sh all
  . scripts/flavours.sh
  build_flavour win-x86_64
  build_flavour win-i686
fi

rm -rf "$out"
mkdir -p "$out/x86" "$out/x64"
for pair in "x86 win-i686" "x64 win-x86_64"; do
  set -- $pair
  arch=$1 dir=build/$2
  cp "$dir/Parvex.exe" "$dir/Glimber.dll" "$dir/parvex-cli.exe" "$dir/Corvane Split.chm" "$out/$arch/"
  cp installer/ReadMe.txt "$out/$arch/"
  if [ -z "$cert" ]; then
    cp "$dir/Setup-$arch.exe" "$out/"
    continue
  fi
  # Signed: the programs first, then a setup made anew from them, whose
  # uninstaller NSIS has signed before packing it, and the setup itself.
  export PARVEX_SIGN_CERT=$cert PARVEX_SIGN_TIMESTAMP=$timestamp
  for f in Parvex.exe Glimber.dll parvex-cli.exe; do scripts/sign-file.sh "$out/$arch/$f"; done
  makensis -V2 -DARCH=$arch -DPARVEX="$out/$arch/Parvex.exe" -DGLIMBER="$out/$arch/Glimber.dll" \
    -DCLI="$out/$arch/parvex-cli.exe" "-DHELPFILE=$out/$arch/Corvane Split.chm" -DOUTFILE="$out/Setup-$arch.exe" \
    -DSIGN_SCRIPT="$PWD/scripts/sign-file.sh" "$PWD/installer/Setup.nsi" >/dev/null
  scripts/sign-file.sh "$out/Setup-$arch.exe"
done
(cd "$out" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort | while IFS= read -r f; do
  sha256sum -- "$f"
done >SHA256SUMS && sha256sum --quiet -c SHA256SUMS)
echo "Release in $out:"
(cd "$out" && ls -l --time-style=+ Setup-*.exe x86 x64 SHA256SUMS)
