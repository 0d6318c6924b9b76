#!/usr/bin/env bash
# Sets move between Linux and Windows: a set made by the Linux command line
# joins under parvex-cli.exe and the reverse, for a name the Windows code page
# holds (kept there in the info file) and for one it does not (the UTF-8
# name in the trailer). Both systems make the same info file and pieces.
#   exchange_test.sh NATIVE_PARVEX PARVEX_CLI_EXE     (in the Wine test bed)
set -euo pipefail
native=$1 windows=$2
if [ ! -x "$native" ]; then
  echo "no Linux build at $native (scripts/test-all.sh builds it first): skipped"
  exit 77
fi
. "$(dirname "$0")/../scripts/wine-env.sh"
# Wine reads the arguments in the locale's encoding.
export LC_ALL=C.UTF-8
work=$(mktemp -d /tmp/parvex-exchange.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
windows_cli() { "$WINE_PROGRAM" "$windows" "$@" 2>&1 </dev/null; }

check() {
  local name=$1 field=$2
  rm -rf -- * && mkdir linux windows from-linux from-windows
  head -c 2500000 /dev/urandom >"$name"
  "$native" split "$name" --to linux --kb 1000 >/dev/null 2>&1
  windows_cli split "$name" --to windows --kb 1000 >/dev/null
  # The same set from both: the info file and every piece.
  for f in "$name.sio" "$name.0.spl" "$name.1.spl" "$name.2.spl"; do
    cmp -s "linux/$f" "windows/$f" || { echo "FAIL $name: $f differs between Linux and Windows"; exit 1; }
  done
  # The name field as an older Windows reader sees it.
  if [ "$(head -c 264 "linux/$name.sio" | tail -c 260 | tr -d '\0' | od -An -tx1 | tr -d ' \n')" != "$field" ]; then
    echo "FAIL $name: name field is $(head -c 264 "linux/$name.sio" | tail -c 260 | tr -d '\0' | od -An -c)"
    exit 1
  fi
  windows_cli join "linux\\$name.sio" --to from-linux >/dev/null
  "$native" join "windows/$name.sio" --to from-windows >/dev/null 2>&1
  cmp "$name" "from-linux/$name" && cmp "$name" "from-windows/$name" || { echo "FAIL $name: joined file differs"; exit 1; }
  echo "ok: $name"
}

# café résumé über.bin in code page 1252.
check "café résumé über.bin" "$(printf 'caf\xe9 r\xe9sum\xe9 \xfcber.bin' | od -An -tx1 | tr -d ' \n')"
# Beyond 1252: the placeholder older readers refuse, the name in the trailer.
check "фильм 映画 🎬.bin" "$(printf '(needs a newer Corvane.Split)' | od -An -tx1 | tr -d ' \n')"

# Recovery files move too: the same PAR2 files from both systems, and a set
# made on Linux whose pieces were lost and damaged is repaired by
# parvex-cli.exe, then joined on Linux.
rm -rf -- * && mkdir linux windows
name="Vacances été.bin"
head -c 2500000 /dev/urandom >"$name"
"$native" split "$name" --to linux --kb 300 --recovery 25 >/dev/null 2>&1
windows_cli split "$name" --to windows --kb 300 --recovery 25 >/dev/null
[ "$(cd linux && ls -- *.par2)" = "$(cd windows && ls -- *.par2)" ] ||
  { echo "FAIL recovery: other recovery files on Linux and on Windows"; exit 1; }
[ -f "linux/$name.par2" ] || { echo "FAIL recovery: no $name.par2"; exit 1; }
for path in linux/*.par2; do
  f=${path#linux/}
  cmp -s "linux/$f" "windows/$f" || { echo "FAIL recovery: $f differs between Linux and Windows"; exit 1; }
done
cp "linux/$name.4.spl" kept4 && cp "linux/$name.8.spl" kept8
rm "linux/$name.4.spl"
printf 'X' | dd of="linux/$name.8.spl" bs=1 seek=1234 conv=notrunc 2>/dev/null
windows_cli repair "linux\\$name.sio" >/dev/null
cmp kept4 "linux/$name.4.spl" && cmp kept8 "linux/$name.8.spl" || { echo "FAIL recovery: repair under Windows"; exit 1; }
"$native" verify "linux/$name.sio" >/dev/null 2>&1 || { echo "FAIL recovery: verify after repair"; exit 1; }
echo "ok: recovery files"
