#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
#   install-prerequisites.sh native   compilers and CMake for the Linux build
#   install-prerequisites.sh all      also the Windows cross compilers, Wine and Xvfb
set -euo pipefail

packages=(cmake ninja-build g++ googletest coreutils time python3 libxxhash-dev xxhash)
if [ "${1:-all}" = all ]; then
  packages+=(g++-mingw-w64-x86-64 g++-mingw-w64-i686 mingw-w64-tools wine wine64 libwine-dev xvfb imagemagick fp-utils nsis p7zip-full)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
