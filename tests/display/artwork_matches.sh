#!/usr/bin/env bash
# Draws the artwork afresh and compares it byte for byte with the committed BMP files, so the
# pictures in the program never drift from the program that draws them.
set -u
make_artwork=${1:?usage: artwork_matches.sh path/to/make_artwork assets_folder}
assets=${2:?usage: artwork_matches.sh path/to/make_artwork assets_folder}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$make_artwork" "$out" || { echo "FAIL: make_artwork failed"; exit 1; }
status=0
for file in background_117.bmp logo_113.bmp glow_115.bmp icon_101.bmp icon_error_103.bmp; do
    if ! cmp -s "$out/$file" "$assets/$file"; then
        echo "FAIL: $file differs from what make_artwork draws (run make_artwork assets/)"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "all five pictures match"
exit "$status"
