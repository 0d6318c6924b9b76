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
export PARVEX_SHOTS="Z:${out//\//\\}"

# Runs a command; each <name>.ready it leaves in $out becomes <name>.png.
shoot_while() {
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
