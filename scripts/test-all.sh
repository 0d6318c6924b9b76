#!/usr/bin/env bash
# Installs what is missing, builds every flavour (Linux, Linux with
# sanitizers, Windows x86_64, Windows i686) with warnings as errors, and runs
# every test: natively, the x86_64 Windows build under wine64 and the i686
# one under the 32-bit Wine, both in a 64-bit prefix as on 64-bit Windows.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-prerequisites.sh all

. scripts/flavours.sh
# Each step's name, with the minutes and seconds since the start.
phase() { printf '== %s (%d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }
for flavour in native sanitize win-x86_64 win-i686; do
  build_flavour $flavour
done

# A Linux build's suite: its cases in two processes, a half each, beside
# the entries that are not its cases (the fuzzer, the layer checks) and
# whatever else is named. One process per case, as ctest runs them, would
# cost minutes: a process builds the fault tables as it starts, which takes
# longer than most cases.
run_linux_suite() {
  local dir=$1 also=${2:-}
  ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" -R "^(fuzz_readers|layer_check_.*$also)\$" &
  local pids=($!) failed=0
  for shard in 0 1; do
    (cd "$dir/tests" && GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard \
      ./parvex_tests --gtest_brief=1 --gtest_filter='-*5GiB*') &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  return $failed
}
phase "test native"
# The 5 GiB round trip mostly waits on the disk: it runs beside the halves.
run_linux_suite build/native '|.*5GiB.*' || { echo "the native suite failed" >&2; exit 1; }
phase "test native with AddressSanitizer and UndefinedBehaviorSanitizer"
# The 5 GiB round trip is the same code at sanitizer speed: it runs in the
# plain build.
run_linux_suite build/sanitize || { echo "the sanitized suite failed" >&2; exit 1; }

# The release is built once more elsewhere while the window tests run: at
# the lowest priority, on what they leave of the processors (the engine's
# cases under Wine leave nothing, and run first).
repro_log=$(mktemp)
repro=
start_repro() {
  if [ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] && git rev-parse HEAD >/dev/null 2>&1; then
    # A session of its own, so that an early exit stops all of its build.
    setsid nice -n 19 scripts/check-reproducible.sh --beside >"$repro_log" 2>&1 &
    repro=$!
  else
    echo "skipped: the work tree has changes, which a build of the commit would not have" >"$repro_log"
  fi
}
stop_repro() { [ -z "$repro" ] || kill -- -"$repro" 2>/dev/null || true; }
trap stop_repro EXIT

phase "test Windows x86_64 under wine64"
. scripts/wine-testbed.sh
wine_testbed_start "$root/build/wineprefix"
# HTTP servers on 127.0.0.1 for the update check; they stop by themselves.
ports_file=$(mktemp)
python3 tests/http_fixture.py --ports "$ports_file" --lifetime 1200 &
http_fixture=$!
trap 'kill $http_fixture 2>/dev/null; wine_testbed_stop; stop_repro' EXIT
for _ in $(seq 100); do [ -s "$ports_file" ] && break; sleep 0.1; done
export PARVEX_HTTP_PORTS="$(cat "$ports_file")"
# The engine's two halves side by side, then the rest, one at a time: the
# window tests share one display.
windows_suite() {
  ctest --test-dir "$1" --output-on-failure -j 2 -R '^engine_tests_'
  [ -n "$repro" ] || [ -s "$repro_log" ] || start_repro
  ctest --test-dir "$1" --output-on-failure -E '^engine_tests_'
}
windows_suite build/win-x86_64
# The same suite for the 32-bit program, where this machine runs 32-bit code
# (a kernel without IA32 emulation, or no 32-bit Wine, cannot).
if "$WINE32" cmd /c exit </dev/null >/dev/null 2>&1; then
  phase "test Windows i686 under the 32-bit Wine (WoW64)"
  windows_suite build/win-i686
else
  echo "== Windows i686: this machine cannot run 32-bit Windows programs ($WINE32); its tests are skipped"
  # Straight, not through ctest: ctest lists the suite's tests by running
  # the 32-bit program, which is what cannot be done here.
  tests/check_setup.sh build/win-i686/Setup-x86.exe pei-i386
fi
kill $http_fixture 2>/dev/null || true
wine_testbed_stop
trap stop_repro EXIT
phase "screenshots of every window (build/screenshots)"
scripts/screenshots.sh
phase "release folder (build/release)"
scripts/release.sh --no-build
phase "a signed release, with a throwaway certificate"
tests/check_signing.sh
phase "the release built once more elsewhere: the same bytes"
repro_status=0
[ -z "$repro" ] || wait "$repro" || repro_status=$?
repro=
cat "$repro_log"
rm -f "$repro_log"
[ $repro_status = 0 ] || exit $repro_status
phase "all tests passed"
