#!/usr/bin/env bash
# Benchmark: parvex against split(1) on a 1 GiB file, and the Windows build
# under wine64 when it has been built (scripts/test-all.sh builds it); then
# recovery files against par2cmdline.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/wine-env.sh
scripts/install-prerequisites.sh native
cmake --preset release-native >/dev/null
cmake --build build/bench >/dev/null
wine_args=()
if [ -x "$WINE64" ] && [ -f build/win-x86_64/parvex-cli.exe ]; then
  . scripts/wine-testbed.sh
  wine_testbed_start "$root/build/wineprefix"
  trap wine_testbed_stop EXIT
  wine_args=(--wine-cli "$root/build/win-x86_64/parvex-cli.exe")
fi
python3 bench/split_bench.py --parvex "$root/build/bench/parvex" "${wine_args[@]}" "$@"
# Recovery files against par2cmdline, on the same data.
python3 bench/recovery_bench.py --parvex "$root/build/bench/parvex"
