#!/usr/bin/env bash
# Benchmark: parvex against split(1) on a 1 GiB file, and the Windows build
# under wine64 when it has been built (scripts/test-all.sh builds it); then
# recovery files against par2cmdline, and with --turbo-source DIR (a checkout
# of par2cmdline-turbo's public source) against it too, built into
# build/turbo for the benchmark only: never linked, never shipped.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
turbo_args=()
if [ "${1:-}" = "--turbo-source" ]; then
  [ -d "${2:-}" ] || { echo "--turbo-source needs par2cmdline-turbo's source folder" >&2; exit 2; }
  if [ ! -x build/turbo/par2 ]; then
    sudo_apt=$(command -v sudo || true)
    $sudo_apt apt-get install -y -q automake autoconf >/dev/null
    rm -rf build/turbo && cp -r "$2" build/turbo
    (cd build/turbo && ./automake.sh && ./configure && make -j"$(nproc)" par2) >build/turbo.log 2>&1
  fi
  turbo_args=(--turbo "$root/build/turbo/par2")
  shift 2
fi
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
python3 bench/recovery_bench.py --parvex "$root/build/bench/parvex" "${turbo_args[@]}"
# A split and a rejoin killed at random points and continued: what is
# written twice, counted under strace.
command -v strace >/dev/null || { sudo_apt=$(command -v sudo || true); $sudo_apt apt-get install -y -q strace >/dev/null; }
python3 bench/resume_kills.py --parvex "$root/build/bench/parvex"
