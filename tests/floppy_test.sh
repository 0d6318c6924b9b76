#!/usr/bin/env bash
# A real removable drive under Wine: A: is a tmpfs of a floppy's size that
# Wine takes for a floppy drive (its own prefix, so that the drive types the
# wineserver reads at its start are ours). A file of several disks is split
# onto it and rejoined from its disks by parvex-cli.exe on a terminal and by
# Parvex.exe through its window, with tests/floppy.py changing the disks
# when they ask.
#   floppy_test.sh PARVEX_CLI_EXE PARVEX_TESTS_EXE DRIVETOOL_EXE   (needs DISPLAY)
set -euo pipefail
cli=$1 tests=$2 drivetool=$3
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../scripts/wine-env.sh"
if [ "$(id -u)" != 0 ]; then
  echo "mounting the disks of drive A: needs root: skipped"
  exit 77
fi
work=$(mktemp -d /tmp/parvex-floppy.XXXXXX)
prefix=$(mktemp -d /tmp/parvex-floppy-prefix.XXXXXX)
server=""
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null
  WINEPREFIX=$prefix "$WINESERVER" -k 2>/dev/null || true
  umount "$work/a" 2>/dev/null || true
  umount "$work/probe" 2>/dev/null || true
  rm -rf "$work" "$prefix"
}
trap cleanup EXIT
mkdir "$work/probe" "$work/a"
if ! mount -t tmpfs -o size=64k parvex-probe "$work/probe" 2>/dev/null; then
  echo "no tmpfs can be mounted here: skipped"
  exit 77
fi
umount "$work/probe"

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=C.UTF-8
"$WINE64" wineboot -i </dev/null >/dev/null 2>&1
"$WINESERVER" -w
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
mount -t tmpfs -o size=1440k parvex-floppy "$work/a"
ln -sfn "$work/a" "$prefix/dosdevices/a:"
"$WINE64" reg add 'HKLM\Software\Wine\Drives' /v a: /t REG_SZ /d floppy /f </dev/null >/dev/null 2>&1
# The mount manager reads the drive types when the server starts.
"$WINESERVER" -k || true
"$WINESERVER" -w || true
"$WINESERVER" -p 120 </dev/null >/dev/null 2>&1 || true
"$WINE64" cmd /c exit </dev/null >/dev/null 2>&1
umount "$work/a"

head -c 3500000 /dev/urandom >"$work/holiday été.bin"
python3 "$here/floppy.py" cli "$work" "$cli" "$drivetool" "$work/holiday été.bin"

python3 "$here/floppy.py" serve "$work" "$drivetool" &
server=$!
PARVEX_FLOPPY_WORK=$work "$WINE_PROGRAM" "$tests" --gtest_filter='FloppyWindow.*' </dev/null
echo stop >"$work/request"
wait "$server"
server=""
