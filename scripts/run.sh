#!/usr/bin/env bash
# Builds the Windows program and starts Parvex.exe under wine64 on your
# display. A file argument is passed through (a piece or .sio file opens in
# Rejoin mode, any other file in Split mode).
#   scripts/run.sh [FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
. scripts/wine-env.sh
if [ -z "${DISPLAY:-}" ]; then
  cat >&2 <<'MSG'
Parvex.exe is a Windows program and needs an X display, but DISPLAY is not set.
Start one and try again, for example a virtual one:
    Xvfb :1 -screen 0 1280x1024x24 &  DISPLAY=:1 scripts/run.sh
(and look at it with a VNC server such as x11vnc -display :1), or run from a
desktop session. Without a display, scripts/demo.sh splits a file with the
command-line version of the same engine.
MSG
  exit 1
fi
scripts/install-prerequisites.sh all
cmake --preset win-x86_64 >/dev/null
cmake --build build/win-x86_64 --target Parvex >/dev/null
export WINEPREFIX="$root/build/wineprefix" WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Preparing a Wine prefix in $WINEPREFIX ..."
  "$WINE64" wineboot -i >/dev/null 2>&1
  "$WINESERVER" -w
fi
args=()
if [ $# -gt 0 ]; then
  # Wine sees the Linux file system on drive Z:.
  file=$(realpath "$1")
  args=("Z:${file//\//\\}")
fi
exec "$WINE64" build/win-x86_64/Parvex.exe "${args[@]}"
