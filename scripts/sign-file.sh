#!/usr/bin/env bash
# Signs one Windows program in place with Authenticode (osslsigncode), from
# the certificate and options release.sh --sign puts in the environment:
#   PARVEX_SIGN_CERT   a PKCS#12 file      PARVEX_SIGN_PASS   its password
#   PARVEX_SIGN_TIMESTAMP   a timestamp server's URL (optional)
# NSIS runs it on the uninstaller before packing it into the setup.
#   sign-file.sh FILE
set -euo pipefail
file=$1
args=(sign -pkcs12 "$PARVEX_SIGN_CERT" -pass "${PARVEX_SIGN_PASS:-}" -n "Corvane Split" -h sha256)
[ -n "${PARVEX_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$PARVEX_SIGN_TIMESTAMP")
osslsigncode "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
