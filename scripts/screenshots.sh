#!/usr/bin/env bash
# Pictures of every window of Parvex.exe under Wine, into build/screenshots:
# the test ParvexScreens.EveryWindow puts each on screen and asks for it.
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
PARVEX_SHOTS="Z:${out//\//\\}" /usr/lib/wine/wine64 build/win-x86_64/tests/parvex_tests.exe \
  --gtest_filter='ParvexScreens.*:Glimber.ContextMenuOnScreen' >"$out/run.log" 2>&1 &
runner=$!
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
ls "$out"/*.png
