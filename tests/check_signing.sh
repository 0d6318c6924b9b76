#!/usr/bin/env bash
# A signed release, made with a throwaway certificate made here: every
# program, the DLL and both setups carry a signature osslsigncode verifies
# against that certificate, and so does the uninstaller inside each setup.
# Needs the Windows builds (scripts/test-all.sh makes them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Corvane Split test signing" >/dev/null 2>&1
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.pfx -passout pass:throwaway >/dev/null 2>&1
"$root/scripts/release.sh" --no-build --sign cert.pfx --password throwaway --out "$work/release" >/dev/null
checked=0
verify() {
  if ! osslsigncode verify -CAfile cert.pem -in "$1" 2>&1 | grep -q "Signature verification: ok"; then
    echo "not signed, or not verified: $1" >&2
    exit 1
  fi
  checked=$((checked + 1))
}
for f in Setup-x86.exe Setup-x64.exe x86/Parvex.exe x86/Glimber.dll x86/parvex-cli.exe \
         x64/Parvex.exe x64/Glimber.dll x64/parvex-cli.exe; do
  verify "release/$f"
done
# The uninstaller each setup writes, as 7-Zip takes it out of the setup.
for arch in x86 x64; do
  mkdir -p "unpacked-$arch"
  7z x -y -o"unpacked-$arch" "release/Setup-$arch.exe" >/dev/null
  uninstaller=$(find "unpacked-$arch" -iname 'uninstall*.exe' | head -1)
  [ -n "$uninstaller" ] || { echo "no uninstaller found in Setup-$arch.exe" >&2; exit 1; }
  verify "$uninstaller"
done
echo "signed release: $checked signatures verified"
