#!/usr/bin/env bash
# Packages an already built product twice (scripts/package-release) and checks
# what a distributor relies on: SHA256SUMS verifies; the notices and the SBOM
# name exactly the third-party components and files of the link map, and the
# notices hold only the recorded upstream texts of the linked versions; the SBOM
# is valid CycloneDX 1.6 with the TR-03183-2 fields; the kept debug copy strips
# to the shipped image; the two runs give identical folders; a rebuild from
# BUILDINFO's options gives the same image; and each release check in the break
# table below fails when its input is broken.
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
  "BUILDINFO README.txt SECURITY.md SHA256SUMS THIRD_PARTY_NOTICES.txt Tervalis_Quorvel.cdx.json Tervalis_Quorvel.exe Tervalis_Quorvel.intoto.json " ] \
  || fail "the release holds $(ls "$release" | tr '\n' ' ')"
(cd "$release" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not verify"
[ "$(wc -l <"$release/SHA256SUMS")" -eq 7 ] || fail "SHA256SUMS does not cover every other file"
diff -r "$release" "$work/two/release" >/dev/null || fail "two packaging runs give different folders"

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
  sed -n 's/^  Linked from: //p' "$release/THIRD_PARTY_NOTICES.txt" | tr ',' '\n' | tr -d ' ' | grep -qxF "$(basename "$f")" \
    || fail "$(basename "$f") is linked but not named in the notices' \"Linked from\""
done
want_list=$(printf '%s\n' "${!want[@]}" | sort)
notices=$(sed -n 's/^Component: //p' "$release/THIRD_PARTY_NOTICES.txt" | sort)
sbom=$(python3 -c 'import json,sys; [print(c["group"]) for c in json.load(open(sys.argv[1]))["components"]]' \
         "$release/Tervalis_Quorvel.cdx.json" | sort -u)
[ "$notices" = "$want_list" ] || fail "the notices name [$notices], the map holds [$want_list]"
[ "$sbom" = "$want_list" ] || fail "the SBOM names [$sbom], the map holds [$want_list]"
# Every text in the notices is one recorded for the linked package versions, byte for byte.
python3 - "$release/THIRD_PARTY_NOTICES.txt" "$root/resources/third_party" <<'EOF' || fail "the notices hold a text that is not the recorded upstream one"
import hashlib, re, subprocess, sys
notices = open(sys.argv[1], encoding="utf-8").read()
rows = [l.rstrip("\n").split("\t") for l in open(sys.argv[2] + "/upstream-texts.tsv") if l.strip() and l[0] != "#"]
installed = {r[2]: subprocess.run(["dpkg-query", "-W", "-f=${Version}", r[2]], capture_output=True, text=True).stdout
             for r in rows}
sections = re.split(r"\n={78}\n(.*), lines (\S+), from (\S+) (\S+), for .*:\n={78}\n\n", notices)[1:]
assert sections, "no texts"
for path, lines, source, version, body in zip(*[iter(sections)] * 5):
    text = body
    ok = [r for r in rows if (r[6], r[7], r[4], r[5]) == (path, lines, source, version) and installed[r[2]] == r[3]
          and hashlib.sha256(text.encode()).hexdigest() == r[8]]
    assert ok, f"{path} from {source} {version}"
EOF
grep -q "cp-demangle.c" "$release/THIRD_PARTY_NOTICES.txt" || fail "the demangler's notice is missing"
! grep -q -i -w -E "fortran|gnat|libgo|widl|cygwin|common-licenses" "$release/THIRD_PARTY_NOTICES.txt" \
  || fail "the notices name code that is not linked"
"$root/scripts/validate-sbom" "$release/Tervalis_Quorvel.cdx.json" >/dev/null || fail "the SBOM is not valid CycloneDX 1.6 to TR-03183-2"
image_sha=$(sha256sum "$release/Tervalis_Quorvel.exe" | cut -d' ' -f1)
grep -q "\"content\": \"$image_sha\"" "$release/Tervalis_Quorvel.cdx.json" || fail "the SBOM does not carry the image's SHA-256"
grep -q "\"sha256\": \"$image_sha\"" "$release/Tervalis_Quorvel.intoto.json" || fail "the provenance does not name the image"

"$root/scripts/release-facts" strip "$work/one/Tervalis_Quorvel.debug.exe" "$work/restripped.exe"
cmp -s "$work/restripped.exe" "$release/Tervalis_Quorvel.exe" || fail "the debug copy does not strip to the shipped image"
grep -q "^Commit: $(git -C "$root" rev-parse HEAD)$" "$release/BUILDINFO" || fail "BUILDINFO does not name the commit"
# A rebuild from BUILDINFO alone: its packages as installed, its options, its strip.
info="$release/BUILDINFO"
sed -n 's/^  \(\S*\) \(\S*\) \S*$/\1 \2/p' "$info" | while read -r package version; do
  [ "$(dpkg-query -W -f='${Version}' "$package")" = "$version" ] || fail "BUILDINFO's $package $version is not installed"
done
configure=$(sed -n 's/^Configure: cmake //p' "$info")
# shellcheck disable=SC2086
(cd "$root" && cmake -S . -B "$work/rebuild" $configure >/dev/null && \
   $(sed -n 's/^Build: //p' "$info" | sed "s|BUILD|$work/rebuild|") >/dev/null) || fail "the rebuild from BUILDINFO failed"
"$root/scripts/release-facts" strip "$work/rebuild/app/Tervalis_Quorvel.exe" "$work/rebuilt.exe"
[ "$(sha256sum <"$work/rebuilt.exe" | cut -d' ' -f1)" = "$(sed -n 's/^Unsigned image SHA-256: //p' "$info")" ] \
  || fail "a rebuild from BUILDINFO does not give the released image"

# The release checks, each fed one broken input: every one must refuse it.
sbom="$release/Tervalis_Quorvel.cdx.json"
mutate() { python3 -c "import json,sys; b=json.load(open('$sbom')); $1; json.dump(b,open('$work/broken.json','w'))"; }
"$root/scripts/release-facts" strip "$product" "$work/stripped.exe"
x86_64-w64-mingw32-objcopy --add-section .debug_info="$map" "$work/stripped.exe" "$work/debug-section.exe"
cp "$product" "$work/other.exe"; printf x >>"$work/other.exe"; cp "$product.build" "$work/other.exe.build"
while IFS='|' read -r what breaks; do
  if (eval "$breaks") >"$work/break.txt" 2>&1; then fail "a release check accepts $what"; fi
done <<EOF
a table line that claims no linked file|{ cat "$root/resources/third_party/components.tsv"; printf 'libssp\t^/nowhere\$\tgcc-mingw-w64-x86-64-posix\tMIT\tnobody\tnothing\n'; } >"$work/table.tsv"; QUORVEL_COMPONENTS="$work/table.tsv" "$root/scripts/third-party" check "$map"
components without licences|mutate "[c.pop('licenses') for c in b['components']]"; "$root/scripts/validate-sbom" "$work/broken.json"
a misspelt property|mutate "b['components'][0]['properties'][0]['name']='bsi:component:filenmae'"; "$root/scripts/validate-sbom" "$work/broken.json"
an unknown property|mutate "b['components'][0]['properties'].append({'name':'x:y','value':'z'})"; "$root/scripts/validate-sbom" "$work/broken.json"
a component without SHA-512|mutate "b['components'][1]['hashes'].pop()"; "$root/scripts/validate-sbom" "$work/broken.json"
a shared purl|mutate "b['components'][1]['purl']=b['components'][0]['purl']"; "$root/scripts/validate-sbom" "$work/broken.json"
no completeness|mutate "b.pop('compositions')"; "$root/scripts/validate-sbom" "$work/broken.json"
no SBOM creator contact|mutate "b['metadata']['manufacturer'].pop('url'); b['metadata']['manufacturer'].pop('contact')"; "$root/scripts/validate-sbom" "$work/broken.json"
debug sections|"$root/scripts/check-image" "$work/debug-section.exe" --release
an untracked file as a clean tree|git clone -q "$root" "$work/clone" && touch "$work/clone/new" && [ "\$(QUORVEL_TREE="$work/clone" "$root/scripts/release-facts" tree)" = clean ]
an image its build did not record|"$root/scripts/package-release" "$work/other.exe" "$map" "$work/other" --allow-dirty
EOF

echo "packaging: $(wc -l <<<"$want_list") components ($(tr '\n' ' ' <<<"$want_list")), sums, SBOM and debug copy check out"
