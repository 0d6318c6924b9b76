#!/usr/bin/env bash
# Pictures of every window of Parvex.exe and of the setup program under Wine,
# into build/screenshots: the tests ParvexScreens.EveryWindow and
# SetupScreens.EveryPage put each on screen and ask for it.
# Needs the Windows build (scripts/test-all.sh makes it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build/screenshots
rm -rf "$out"
mkdir -p "$out"
. scripts/wine-testbed.sh
wine_testbed_start "$root/build/wineprefix"
trap wine_testbed_stop EXIT
# Runs a command; each <name>.ready it leaves in $out becomes <name>.png.
shoot_while() {
  export PARVEX_SHOTS="Z:${out//\//\\}"
  "$@" >>"$out/run.log" 2>&1 &
  local runner=$! ready name
  while kill -0 $runner 2>/dev/null; do
    for ready in "$out"/*.ready; do
      [ -e "$ready" ] || continue
      name=$(basename "$ready" .ready)
      import -display "$DISPLAY" -window root "$out/$name.png"
      rm -f "$ready"
    done
    sleep 0.1
  done
  wait $runner
}

shoot_while "$WINE64" build/win-x86_64/tests/parvex_tests.exe \
  --gtest_filter='ParvexScreens.*:Glimber.ContextMenuOnScreen'
# The setup program's pages, on a machine of their own.
shoot_while tests/in_fresh_prefix.sh build/win-x86_64/tests/installer_tests.exe --gtest_filter='SetupScreens.*'
ls "$out"/*.png

# The 32-bit program and its setup, as on 64-bit Windows, in x86/.
if [ -f build/win-i686/tests/parvex_tests.exe ] && "$WINE32" cmd /c exit </dev/null >/dev/null 2>&1; then
  all=$out
  out=$all/x86
  mkdir -p "$out"
  shoot_while "$WINE32" build/win-i686/tests/parvex_tests.exe --gtest_filter='ParvexScreens.*'
  WINE_PROGRAM=$WINE32 shoot_while tests/in_fresh_prefix.sh build/win-i686/tests/installer_tests.exe \
    --gtest_filter='SetupScreens.*'
  ls "$out"/*.png
  out=$all
fi

# The program's windows again at 144 DPI (150 %), which Wine reads at each
# program's start; the prefix gets its own setting back afterwards.
all=$out
out=$all/144dpi
mkdir -p "$out"
desktop='HKCU\Control Panel\Desktop'
earlier=$("$WINE64" reg query "$desktop" /v LogPixels 2>/dev/null | awk '/LogPixels/ {print $3}' | tr -d '\r' || true)
restore_dpi() {
  if [ -n "$earlier" ]; then
    "$WINE64" reg add "$desktop" /v LogPixels /t REG_DWORD /d $((earlier)) /f >/dev/null 2>&1
  else
    "$WINE64" reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
  fi
}
trap 'restore_dpi; wine_testbed_stop' EXIT
"$WINE64" reg add "$desktop" /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
shoot_while "$WINE64" build/win-x86_64/tests/parvex_tests.exe --gtest_filter='ParvexScreens.*'
ls "$out"/*.png
