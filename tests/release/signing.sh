#!/usr/bin/env bash
# The release's signing step with a throwaway self-signed certificate: the
# stripped image signs, the signature verifies, the unsigned image is left as it
# was, and a wrong password writes nothing.
#   signing.sh PRODUCT.exe
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
product="$(readlink -f "$1")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export RELEASE_SIGN_PASSWORD="throwaway pass"
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
  -subj "/CN=Quorvel test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out test.pfx -passout env:RELEASE_SIGN_PASSWORD

SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o unsigned.exe "$product"
"$root/scripts/check-image" unsigned.exe --release
before=$(sha256sum unsigned.exe)
"$root/scripts/sign-image" unsigned.exe signed.exe --pfx test.pfx
osslsigncode verify -CAfile cert.pem -in signed.exe >verify.txt
grep -q "Signature verification: ok" verify.txt
grep -q "Quorvel test signer" verify.txt
[ "$before" = "$(sha256sum unsigned.exe)" ] || { echo "signing changed the unsigned image" >&2; exit 1; }

if RELEASE_SIGN_PASSWORD=wrong "$root/scripts/sign-image" unsigned.exe wrong.exe --pfx test.pfx 2>/dev/null \
   || [ -e wrong.exe ]; then
  echo "a wrong password signed or wrote a file" >&2
  exit 1
fi
echo "signing: signed, verified, unsigned image unchanged, wrong password refused"
