#!/usr/bin/env bash
# The release's signing step, with throwaway keys and a local RFC 3161
# time-stamp authority on 127.0.0.1 (no network):
# - a .pfx and a key on a SoftHSM2 token (PKCS#11) both sign with a time stamp
#   that verifies against the test's own roots;
# - the time-stamped copy still verifies after the certificate has expired, an
#   un-time-stamped one does not;
# - an untrusted time-stamp authority makes the release fail and write nothing;
# - removing the signature gives back the unsigned image byte for byte;
# - a wrong password writes nothing.
#   signing.sh PRODUCT.exe PRODUCT.map
# OSSLSIGNCODE selects another osslsigncode build.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
product="$(readlink -f "$1")"
map="$(readlink -f "$2")"
ossl="${OSSLSIGNCODE:-osslsigncode}"
work=$(mktemp -d)
tsa_pids=()
trap 'kill "${tsa_pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"
fail() { echo "signing: $*" >&2; exit 1; }
q() { openssl "$@" 2>/dev/null; }

# A code-signing root and a signer that expires in two days; a time-stamp root
# and authority; and a second authority that nobody trusts.
cat >pki.cnf <<'EOF'
[ca]
basicConstraints=critical,CA:true
keyUsage=critical,keyCertSign,cRLSign
[signer]
basicConstraints=CA:false
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
[noeku]
basicConstraints=CA:false
keyUsage=critical,digitalSignature
[tsa_cert]
basicConstraints=CA:false
keyUsage=critical,digitalSignature
extendedKeyUsage=critical,timeStamping
EOF
root_cert() { q req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 3650 -subj "/CN=$2" \
                -config pki.cnf -extensions ca; }
issue() {  # issue NAME CN CA DAYS EXTENSIONS
  q req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2"
  q x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3.key" -set_serial "$RANDOM" -days "$4" \
    -extfile pki.cnf -extensions "$5" -out "$1.pem"
}
root_cert signroot "Quorvel test root"
issue signer "Quorvel test signer" signroot 2 signer
root_cert tsaroot "Quorvel test TSA root"
issue tsa "Quorvel test TSA" tsaroot 3650 tsa_cert
root_cert rogueroot "Quorvel rogue TSA root"
issue rogue "Quorvel rogue TSA" rogueroot 3650 tsa_cert
# Signers the release must refuse: self-signed, from an unrelated CA, without codeSigning.
q req -x509 -newkey rsa:2048 -nodes -keyout selfsigned.key -out selfsigned.pem -days 30 -subj "/CN=Self" \
  -config pki.cnf -extensions signer
root_cert otherroot "Unrelated root"
issue other "Unrelated signer" otherroot 30 signer
issue noeku "Quorvel test signer without codeSigning" signroot 30 noeku

start_tsa() {  # start_tsa NAME: serves NAME.pem/NAME.key, sets tsa_url
  echo 01 >"$1.serial"
  cat >"$1.cnf" <<EOF
[tsa]
default_tsa=tsa_config
[tsa_config]
serial=$work/$1.serial
signer_cert=$work/$1.pem
certs=$work/$1.pem
signer_key=$work/$1.key
signer_digest=sha256
default_policy=1.2.3.4.1
digests=sha256
accuracy=secs:1
ess_cert_id_alg=sha256
EOF
  python3 "$root/tests/release/tsa_responder.py" "$1.cnf" "$1.port" &
  tsa_pids+=($!)
  for _ in $(seq 50); do [ -s "$1.port" ] && break; sleep 0.1; done
  [ -s "$1.port" ] || fail "the $1 time-stamp authority did not start"
  tsa_url="http://127.0.0.1:$(cat "$1.port")"
}
start_tsa tsa; trusted="$tsa_url"
start_tsa rogue; untrusted="$tsa_url"

SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o unsigned.exe "$product"
"$root/scripts/check-image" unsigned.exe --release
before=$(sha256sum unsigned.exe)
roots=(--ca signroot.pem --tsa-ca tsaroot.pem)

# A .pfx (test certificates), time-stamped.
export RELEASE_SIGN_PASSWORD="throwaway pass"
q pkcs12 -export -inkey signer.key -in signer.pem -certfile signroot.pem -out test.pfx -passout env:RELEASE_SIGN_PASSWORD
"$root/scripts/sign-image" unsigned.exe pfx.exe --pfx test.pfx --timestamp-url "$trusted" "${roots[@]}"

# A key on a token: SoftHSM2 with the signer's key imported, reached through a pkcs11: URI.
export SOFTHSM2_CONF="$work/softhsm2.conf"
mkdir tokens
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$work/tokens" >"$SOFTHSM2_CONF"
export RELEASE_SIGN_PIN=4711
softhsm2-util --init-token --free --label quorvel --pin "$RELEASE_SIGN_PIN" --so-pin 123456 >/dev/null
q pkcs8 -topk8 -nocrypt -in signer.key -out signer.p8
softhsm2-util --import signer.p8 --token quorvel --label signer --id 01 --pin "$RELEASE_SIGN_PIN" >/dev/null
cat signer.pem signroot.pem >chain.pem
hsm=(--pkcs11-key "pkcs11:token=quorvel;object=signer;type=private" --pkcs11-module /usr/lib/softhsm/libsofthsm2.so
     --cert chain.pem)
"$root/scripts/sign-image" unsigned.exe hsm.exe "${hsm[@]}" --timestamp-url "$trusted" "${roots[@]}"
# Refused before signing, writing nothing: the certificates given are never trust anchors.
q pkcs8 -topk8 -nocrypt -in other.key -out other.p8
softhsm2-util --import other.p8 --token quorvel --label other --id 02 --pin "$RELEASE_SIGN_PIN" >/dev/null
cat other.pem otherroot.pem >other-chain.pem
q pkcs12 -export -inkey selfsigned.key -in selfsigned.pem -out selfsigned.pfx -passout env:RELEASE_SIGN_PASSWORD
q pkcs12 -export -inkey noeku.key -in noeku.pem -certfile signroot.pem -out noeku.pfx -passout env:RELEASE_SIGN_PASSWORD
while IFS='|' read -r case reason key; do
  # shellcheck disable=SC2086
  if "$root/scripts/sign-image" unsigned.exe refused.exe $key --ca signroot.pem >refused.txt 2>&1 \
     || [ -e refused.exe ] || ! grep -q "$reason" refused.txt; then
    cat refused.txt >&2; fail "a signer that is $case was not refused before signing"
  fi
done <<EOF
self-signed|does not chain to a trusted root|--pfx selfsigned.pfx
from an unrelated CA bundled in --cert|does not chain to a trusted root|--pkcs11-key pkcs11:token=quorvel;object=other;type=private --pkcs11-module /usr/lib/softhsm/libsofthsm2.so --cert other-chain.pem
without codeSigning|not for code signing|--pfx noeku.pfx
EOF
# Without a time stamp, for the expiry check below.
"$root/scripts/sign-image" unsigned.exe bare.exe "${hsm[@]}" "${roots[@]}"

after_expiry=$(( $(date +%s) + 30 * 86400 ))
for signed in pfx hsm; do
  "$ossl" verify -CAfile signroot.pem -TSA-CAfile tsaroot.pem -in $signed.exe >$signed.txt 2>&1 \
    || fail "$signed.exe does not verify"
  grep -q "Quorvel test signer" $signed.txt || fail "$signed.exe is not signed by the test signer"
  grep -q "^Timestamp Server Signature verification: ok" $signed.txt || fail "$signed.exe has no valid time stamp"
  "$ossl" verify -CAfile signroot.pem -TSA-CAfile tsaroot.pem -time "$after_expiry" -in $signed.exe >/dev/null 2>&1 \
    || fail "the time-stamped $signed.exe no longer verifies once the certificate has expired"
  "$ossl" remove-signature -in $signed.exe -out $signed.removed.exe >/dev/null
  cmp -s $signed.removed.exe unsigned.exe || fail "removing $signed.exe's signature does not give the unsigned image"
done
"$ossl" verify -CAfile signroot.pem -in bare.exe >/dev/null 2>&1 || fail "the un-time-stamped copy does not verify today"
if "$ossl" verify -CAfile signroot.pem -time "$after_expiry" -in bare.exe >/dev/null 2>&1; then
  fail "an un-time-stamped signature still verifies after the certificate has expired"
fi
[ "$before" = "$(sha256sum unsigned.exe)" ] || fail "signing changed the unsigned image"

# An authority nobody trusts: the release fails and writes nothing.
mkdir dist
if "$root/scripts/package-release" "$product" "$map" dist/release --allow-dirty --pfx test.pfx \
     --timestamp-url "$untrusted" "${roots[@]}" >rogue.txt 2>&1; then
  fail "a time stamp from an untrusted authority was accepted"
fi
grep -q "the time stamp does not verify" rogue.txt || { cat rogue.txt >&2; fail "the untrusted time stamp failed for another reason"; }
[ -z "$(ls -A dist)" ] || fail "a refused release left files behind: $(ls -A dist)"

# A signed release: SHA256SUMS.p7s verifies against the root and fails once a
# file changes; README.txt and the SBOM carry the signed file's hash.
"$root/scripts/package-release" "$product" "$map" dist/signed --allow-dirty --pfx test.pfx \
  --timestamp-url "$trusted" "${roots[@]}" >/dev/null
p7s() { openssl cms -verify -binary -inform DER -in dist/signed/SHA256SUMS.p7s -content dist/signed/SHA256SUMS \
          -CAfile signroot.pem -purpose any -out /dev/null 2>/dev/null && (cd dist/signed && sha256sum --quiet -c SHA256SUMS); }
p7s || fail "SHA256SUMS.p7s does not verify against the signing root"
shipped=$(sha256sum dist/signed/Tervalis_Quorvel.exe | cut -d' ' -f1)
grep -q "^SHA-256 of this signed Tervalis_Quorvel.exe: $shipped$" dist/signed/README.txt || fail "README.txt does not give the signed file's hash"
grep -q "\"content\": \"$shipped\"" dist/signed/Tervalis_Quorvel.cdx.json || fail "the SBOM does not give the signed file's hash"
echo changed >>dist/signed/SECURITY.md
if p7s; then fail "SHA256SUMS and its signature still verify after a file changed"; fi

if RELEASE_SIGN_PASSWORD=wrong "$root/scripts/sign-image" unsigned.exe wrong.exe --pfx test.pfx 2>/dev/null \
   || [ -e wrong.exe ]; then
  fail "a wrong password signed or wrote a file"
fi
echo "signing ($("$ossl" --version 2>&1 | head -1 | cut -d, -f1)): pfx and PKCS#11 signed with verified time stamps;" \
     "valid after expiry only when time-stamped; untrusted authority refused; signature removal round-trips"
