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
for flavour in native sanitize win-x86_64 win-i686; do
  build_flavour $flavour
done

# The native suites run on both cores: every entry is a process of its own,
# on files of its own.
echo "== test native"
ctest --test-dir build/native --output-on-failure -j "$(nproc)"
echo "== test native with AddressSanitizer and UndefinedBehaviorSanitizer"
# Under the sanitizers starting a process costs more than most tests take:
# the suite runs in two processes, a half of the tests each (the plain
# build gave each test its own), beside the fuzzer and the layer checks.
# The 5 GiB round trip is the same code at sanitizer speed: it runs in the
# plain build.
ctest --test-dir build/sanitize --output-on-failure -j "$(nproc)" -R '^(fuzz_readers|layer_check_.*)$' &
others=($!)
for shard in 0 1; do
  (cd build/sanitize/tests && GTEST_TOTAL_SHARDS=2 GTEST_SHARD_INDEX=$shard \
    ./parvex_tests --gtest_brief=1 --gtest_filter='-*5GiB*') &
  others+=($!)
done
sanitized=0
for pid in "${others[@]}"; do wait "$pid" || sanitized=1; done
[ $sanitized = 0 ] || { echo "the sanitized suite failed" >&2; exit 1; }

echo "== test Windows x86_64 under wine64"
. scripts/wine-testbed.sh
wine_testbed_start "$root/build/wineprefix"
# HTTP servers on 127.0.0.1 for the update check; they stop by themselves.
ports_file=$(mktemp)
python3 tests/http_fixture.py --ports "$ports_file" --lifetime 1200 &
http_fixture=$!
trap 'kill $http_fixture 2>/dev/null; wine_testbed_stop' EXIT
for _ in $(seq 100); do [ -s "$ports_file" ] && break; sleep 0.1; done
export PARVEX_HTTP_PORTS="$(cat "$ports_file")"
ctest --test-dir build/win-x86_64 --output-on-failure
# The same suite for the 32-bit program, where this machine runs 32-bit code
# (a kernel without IA32 emulation, or no 32-bit Wine, cannot).
if "$WINE32" cmd /c exit </dev/null >/dev/null 2>&1; then
  echo "== test Windows i686 under the 32-bit Wine (WoW64)"
  ctest --test-dir build/win-i686 --output-on-failure
else
  echo "== Windows i686: this machine cannot run 32-bit Windows programs ($WINE32); its tests are skipped"
  # Straight, not through ctest: ctest lists the suite's tests by running
  # the 32-bit program, which is what cannot be done here.
  tests/check_setup.sh build/win-i686/Setup-x86.exe pei-i386
fi
kill $http_fixture 2>/dev/null || true
wine_testbed_stop
trap - EXIT
echo "== screenshots of every window (build/screenshots)"
scripts/screenshots.sh
echo "== release folder (build/release)"
scripts/release.sh --no-build
echo "== a signed release, with a throwaway certificate"
tests/check_signing.sh
echo "== the release built once more elsewhere: the same bytes"
if [ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] && git rev-parse HEAD >/dev/null 2>&1; then
  scripts/check-reproducible.sh --beside
else
  echo "skipped: the work tree has changes, which a build of the commit would not have"
fi
echo "== all tests passed"
