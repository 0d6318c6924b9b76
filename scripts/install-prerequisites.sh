#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
#   install-prerequisites.sh native   compilers and CMake for the Linux build
#   install-prerequisites.sh all      also the Windows cross compilers, Wine and Xvfb
set -euo pipefail

# Recovery files: GF-Complete for the Galois-field arithmetic, nettle for
# MD5, zlib for CRC32; par2cmdline is the peer the tests read and write with.
packages=(cmake ninja-build g++ googletest coreutils time python3 libxxhash-dev xxhash
          libgf-complete-dev nettle-dev zlib1g-dev par2)
if [ "${1:-all}" = all ]; then
  packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev xvfb imagemagick fp-utils nsis p7zip-full
             libz-mingw-w64-dev dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The Windows builds compile GF-Complete from Debian's source package (there
# is no MinGW package of it), unpacked where the build looks for it, as
# googletest's sources lie in /usr/src/googletest.
gf_source=/usr/src/gf-complete
if [ "${1:-all}" = all ] && [ ! -f "$gf_source/src/gf_w16.c" ]; then
  list=/etc/apt/sources.list.d/parvex-sources.sources
  if [ ! -f "$list" ]; then
    . /etc/os-release
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$VERSION_CODENAME" | $sudo tee "$list" >/dev/null
  fi
  $sudo apt-get update -qq
  work=$(mktemp -d)
  (cd "$work" && apt-get source -qq gf-complete >/dev/null 2>&1)
  unpacked=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'gf-complete-*' | head -1)
  [ -f "$unpacked/src/gf_w16.c" ] || { echo "apt-get source gf-complete gave no sources" >&2; exit 1; }
  $sudo rm -rf "$gf_source"
  $sudo mv "$unpacked" "$gf_source"
  rm -rf "$work"
fi
