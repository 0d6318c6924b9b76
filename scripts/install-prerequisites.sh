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
             libz-mingw-w64-dev dpkg-dev faketime osslsigncode openssl)
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

# The 32-bit Wine beside the 64-bit one, so that the i686 build is tested as
# the x86_64 one is. Multi-arch pairs must be at one version in both
# architectures; the archive's i386 index can lag the amd64 one (a security
# update without its i386 twin), and apt then "solves" the install by
# removing the 64-bit Wine. So: pin every pair that would be removed to the
# version the i386 index has, and never let the install remove anything.
if [ "${1:-all}" = all ]; then
  wine32_ready() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; }
  installed_now=0
  if ! wine32_ready && [ "$(uname -m)" = x86_64 ]; then
    installed_now=1
    if ! grep -qx i386 <(dpkg --print-foreign-architectures); then
      $sudo dpkg --add-architecture i386
    fi
    # An index that fails to load (a size mismatch on a mirror) leaves the
    # others usable.
    $sudo apt-get update -qq 2>/dev/null || true
    keep=(wine64 libwine:amd64 libwine-dev wine64-tools)
    want=(wine32:i386 libwine:i386)
    pins=()
    removed=""
    for _ in 1 2 3 4 5 6; do
      plan=$(apt-get -s install -t "$(. /etc/os-release; echo "$VERSION_CODENAME")" --no-install-recommends \
               "${want[@]}" "${keep[@]}" "${pins[@]}" 2>&1 || true)
      # What apt would remove, or cannot pair up.
      removed=$(sed -n -e 's/^Remv \([^ ]*\) .*/\1/p' \
                       -e 's/.*Depends: \([^ ]*\) .*but it is not installable.*/\1/p' <<<"$plan" | sort -u)
      [ -z "$removed" ] && break
      added=0
      for package in $removed; do
        name=${package%:*}
        version=$(apt-cache policy "$name:i386" 2>/dev/null | sed -n 's/^  Candidate: //p')
        if [ -n "$version" ] && [ "$version" != "(none)" ] && ! grep -qF "$name:amd64=" <<<"${pins[*]:-}"; then
          pins+=("$name:amd64=$version" "$name:i386=$version")
          added=1
        fi
      done
      [ $added = 1 ] || break
    done
    if [ -n "$removed" ] || grep -q '^E:' <<<"$plan"; then
      echo "The 32-bit Wine cannot be installed here without removing: ${removed:-(see apt)}; the i686 tests will be skipped." >&2
    else
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-remove --allow-downgrades -t \
        "$(. /etc/os-release; echo "$VERSION_CODENAME")" --no-install-recommends \
        "${want[@]}" "${keep[@]}" "${pins[@]}" >/dev/null || echo "apt-get could not install the 32-bit Wine." >&2
    fi
  fi
  for loader in /usr/lib/wine/wine64 /usr/lib/wine/wine; do
    [ -x "$loader" ] || echo "$loader is missing." >&2
  done
  # Once installed, both loaders must start a program; say plainly which
  # one does not.
  if [ $installed_now = 1 ] && wine32_ready; then
    probe=$(mktemp -d)
    WINEPREFIX=$probe WINEDEBUG=-all /usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 \
      || echo "/usr/lib/wine/wine64 does not start a program." >&2
    WINEPREFIX=$probe WINEDEBUG=-all /usr/lib/wine/wine cmd /c exit >/dev/null 2>&1 \
      || echo "/usr/lib/wine/wine does not start a program." >&2
    WINEPREFIX=$probe wineserver -k 2>/dev/null || true
    rm -rf "$probe"
  fi
fi
