#!/usr/bin/env bash
# The manifest built into a program: common controls 6, per-monitor DPI
# awareness (v2, with v1 for older systems), long paths, Windows 7 to 11;
# and the program's icon in every size.
#   check_manifest.sh PROGRAM.exe
set -euo pipefail
for needle in 'Microsoft.Windows.Common-Controls" version="6.0.0.0' '>true/pm</dpiAware>' \
              '>PerMonitorV2, PerMonitor</dpiAwareness>' '>true</longPathAware>' \
              '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
              '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  if ! grep -aqF -- "$needle" "$1"; then
    echo "the manifest of $1 lacks: $needle" >&2
    exit 1
  fi
done
# The icon at 16, 20, 24, 32, 48 and 256 pixels: sharp wherever Windows shows it.
icons=$(7z l "$1" 2>/dev/null | grep -c '\.rsrc/ICON/' || true)
if [ "$icons" -lt 6 ]; then
  echo "$1 has $icons icon images, not the 6 sizes" >&2
  exit 1
fi
echo "manifest of $(basename "$1"): controls 6, per-monitor DPI v2, long paths, Windows 7 to 11; icons in $icons sizes"
