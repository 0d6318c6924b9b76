#!/usr/bin/env bash
# Runs a Windows program under Wine (the loader of its bitness) in a prefix made for the run and
# removed after it: a machine on which nothing has been installed yet.
#   in_fresh_prefix.sh PROGRAM.exe [ARGS...]    (needs DISPLAY)
set -euo pipefail
. "$(dirname "$0")/../scripts/wine-env.sh"
prefix=$(mktemp -d /tmp/parvex-prefix.XXXXXX)
# No desktop menu entries on the host for the shortcuts a setup makes.
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$WINESERVER" -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
"$WINE64" wineboot -i </dev/null >/dev/null 2>&1
"$WINESERVER" -w
"$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
"$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
"$WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
"$WINE_PROGRAM" "$@"
