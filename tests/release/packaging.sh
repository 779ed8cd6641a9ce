#!/usr/bin/env bash
# Packages an already built product twice (scripts/package-release) and checks
# what a distributor relies on: SHA256SUMS verifies; the notices and the SBOM
# name exactly the third-party components of the link map; the SBOM is valid
# CycloneDX 1.6; the kept debug copy strips to the shipped image; and the two
# runs give identical SBOM, notices and BUILDINFO.
#   packaging.sh PRODUCT.exe PRODUCT.map
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
product="$(readlink -f "$1")"
map="$(readlink -f "$2")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "packaging: $*" >&2; exit 1; }

for run in one two; do
  mkdir "$work/$run"
  "$root/scripts/package-release" "$product" "$map" "$work/$run/release" --allow-dirty >/dev/null
done
release="$work/one/release"
[ "$(cd "$release" && ls | tr '\n' ' ')" = \
  "BUILDINFO README.txt SHA256SUMS THIRD_PARTY_NOTICES.txt Tervalis_Quorvel.cdx.json Tervalis_Quorvel.exe " ] \
  || fail "the release holds $(ls "$release" | tr '\n' ' ')"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"
[ "$(wc -l <"$release/SHA256SUMS")" -eq 5 ] || fail "SHA256SUMS does not cover every other file"
for file in BUILDINFO THIRD_PARTY_NOTICES.txt Tervalis_Quorvel.cdx.json Tervalis_Quorvel.exe; do
  cmp -s "$release/$file" "$work/two/release/$file" || fail "two packaging runs give different $file"
done

# The components the map holds, by an independent reading of it: the archives
# its members came from and the objects it loaded, outside the build tree.
expected=$(sed -n '/^Archive member included/,/^Discarded input sections/p' "$map" \
             | grep -o -E '^/[^(]+\.a' ; grep -o -E '^LOAD /\S+\.o$' "$map" | cut -d' ' -f2)
expected=$(for f in $expected; do readlink -f "$f"; done | sort -u)
grep -q libstdc++.a <<<"$expected" || fail "the map reading found no libstdc++"
declare -A want=()
while IFS=$'\t' read -r name pattern _; do
  [[ -z $name || $name == \#* ]] && continue
  grep -q -E "$pattern" <<<"$expected" && want[$name]=1
done <"$root/resources/third_party/components.tsv"
for f in $expected; do
  claimed=no
  while IFS=$'\t' read -r name pattern _; do
    [[ -z $name || $name == \#* ]] && continue
    grep -q -E "$pattern" <<<"$f" && { claimed=yes; break; }
  done <"$root/resources/third_party/components.tsv"
  [ $claimed = yes ] || fail "$f is in the image but in no component"
done
want_list=$(printf '%s\n' "${!want[@]}" | sort)
notices=$(sed -n 's/^Component: //p' "$release/THIRD_PARTY_NOTICES.txt" | sort)
sbom=$(python3 -c 'import json,sys; [print(c["name"]) for c in json.load(open(sys.argv[1]))["components"]]' \
         "$release/Tervalis_Quorvel.cdx.json" | sort)
[ "$notices" = "$want_list" ] || fail "the notices name [$notices], the map holds [$want_list]"
[ "$sbom" = "$want_list" ] || fail "the SBOM names [$sbom], the map holds [$want_list]"
grep -q "GCC RUNTIME LIBRARY EXCEPTION" "$release/THIRD_PARTY_NOTICES.txt" || fail "the GCC runtime exception text is missing"
grep -q "must reproduce the accompanying" "$release/THIRD_PARTY_NOTICES.txt" || fail "the MinGW-w64 runtime's ZPL text is missing"
grep -q "GNU GENERAL PUBLIC LICENSE" "$release/THIRD_PARTY_NOTICES.txt" || fail "the GPL's text is missing"
"$root/scripts/validate-sbom" "$release/Tervalis_Quorvel.cdx.json" >/dev/null || fail "the SBOM is not valid CycloneDX 1.6"
image_sha=$(sha256sum "$release/Tervalis_Quorvel.exe" | cut -d' ' -f1)
grep -q "\"content\": \"$image_sha\"" "$release/Tervalis_Quorvel.cdx.json" || fail "the SBOM does not carry the image's SHA-256"

SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip --strip-all -o "$work/restripped.exe" "$work/one/Tervalis_Quorvel.debug.exe"
cmp -s "$work/restripped.exe" "$release/Tervalis_Quorvel.exe" || fail "the debug copy does not strip to the shipped image"
grep -q "^Commit: $(git -C "$root" rev-parse HEAD)$" "$release/BUILDINFO" || fail "BUILDINFO does not name the commit"
echo "packaging: $(wc -l <<<"$want_list") components ($(tr '\n' ' ' <<<"$want_list")), sums, SBOM and debug copy check out"
