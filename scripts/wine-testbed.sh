# Sourced by the test scripts: a private Wine prefix with one long-lived
# wineserver and an X display, so Windows tests run under wine64.
#   wine_testbed_start PREFIX    wine_testbed_stop

. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

wine_testbed_start() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  local n
  for n in $(seq 90 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
  done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
  WINE_TESTBED_XVFB=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i </dev/null >/dev/null 2>&1
    "$WINESERVER" -w
    # With no window manager every closing window otherwise costs seconds.
    "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    "$WINESERVER" -w
  fi
  # A program that crashes ends at once, its test failing, instead of
  # waiting behind Wine's crash dialog for someone to close it.
  "$WINE64" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  "$WINESERVER" -w
  # One server for the whole run, started apart from the test runner's pipes:
  # services it spawns would otherwise hold them open.
  "$WINESERVER" -p 300 </dev/null >/dev/null 2>&1 || true  # one may be running already
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1
}

wine_testbed_stop() {
  "$WINESERVER" -k 2>/dev/null || true
  if [ -n "${WINE_TESTBED_XVFB:-}" ]; then
    kill "$WINE_TESTBED_XVFB" 2>/dev/null || true
    unset WINE_TESTBED_XVFB
  fi
}
