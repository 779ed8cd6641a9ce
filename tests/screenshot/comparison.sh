#!/usr/bin/env bash
# The screenshot comparison of scripts/run: the documented screenshot matches
# itself both ways; other glyph edges pass only the layout comparison; a text
# moved by a pixel, a field one pixel taller, and a band moved by a pixel fail
# both.
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
compare="$root/scripts/compare-screenshot"
ref="$root/docs/screenshot.png"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
expect() {  # expect pass|fail MODE IMAGE WHAT
  local want="$1" mode="$2" image="$3" what="$4" got=pass
  "$compare" "$mode" "$ref" "$image" >"$work/out" 2>&1 || got=fail
  if [ "$got" = "$want" ]; then
    echo "ok: $what ${mode#--}: $got"
  else
    echo "FAILED: $what ${mode#--}: expected $want, got $got: $(cat "$work/out")"; failed=1
  fi
}
# Anti-aliased glyph edge colours changed, as another FreeType draws them.
convert "$ref" -fill '#A1A1A1' -opaque '#9C9C9C' -fill '#9D9D9D' -opaque '#9F9F9F' "$work/edges.png"
# "Close" one pixel to the right.
convert "$ref" \( +clone -crop 60x20+400+196 +repage \) -geometry +401+196 -composite "$work/moved-text.png"
# The serial field one pixel taller (its band ends at row 179).
convert "$ref" -fill '#F4F4F4' -draw 'line 2,180 647,180' "$work/taller-field.png"
# The help band (rows 60 to 114) one pixel lower, its text too.
convert "$ref" \( +clone -crop 646x55+2+60 +repage \) -geometry +2+61 -composite "$work/moved-band.png"

expect pass --exact "$ref" "documented screenshot"
expect pass --layout "$ref" "documented screenshot"
expect fail --exact "$work/edges.png" "other glyph edges"
expect pass --layout "$work/edges.png" "other glyph edges"
for broken in moved-text taller-field moved-band; do
  expect fail --exact "$work/$broken.png" "$broken"
  expect fail --layout "$work/$broken.png" "$broken"
done
exit $failed
