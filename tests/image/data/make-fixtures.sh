#!/usr/bin/env bash
# Makes the BMP fixtures of the image tests with ImageMagick, from raw pixels computed by the
# same formulas the tests use (x to the right, y downwards from the picture's top row):
#   mono_7x2      1 bit    white where (x + y) % 3 == 0, else black
#   pal4_5x3      4 bits   colour k = (x + 2y) % 7 with rgb(36k, 255 - 36k, 80k % 256)
#   pal8_9x2      8 bits   rgb(28x, 100y + 5, 37xy % 256)            (18 colours: needs 8 bits)
#   rgb24_5x3     24 bits  rgb(40x + 10, 90y + 20, 30(x + y))
#   rgb24_7x2     24 bits  the same formula, 7 x 2
#   argb32_5x3    32 bits  the 24-bit formula with alpha 255 - 40x - 20y
#   rgb24_v5_5x3  24 bits with a 124-byte (V5) information header
#   pal8_v5_9x2   8 bits with a 124-byte (V5) information header, so the colour table starts at 138
# Every file is uncompressed (compression field 0). "BMP3:" gives the 40-byte header; its 32-bit
# output needs -define bmp3:alpha=true, without which ImageMagick drops to 24 bits. Palette files
# need -compress None, since ImageMagick otherwise writes 8 bits run-length encoded.
set -euo pipefail
cd "$(dirname "$0")"

# raw WIDTH HEIGHT KIND: prints the raw rgb or rgba bytes of one formula above.
raw() {
  python3 - "$@" <<'PY'
import sys
w, h, kind = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
out = bytearray()
for y in range(h):
    for x in range(w):
        if kind == "mono":
            v = 255 if (x + y) % 3 == 0 else 0
            out += bytes([v, v, v])
        elif kind == "pal4":
            k = (x + 2 * y) % 7
            out += bytes([36 * k, 255 - 36 * k, 80 * k % 256])
        elif kind == "pal8":
            out += bytes([28 * x, 100 * y + 5, 37 * x * y % 256])
        elif kind == "rgb":
            out += bytes([40 * x + 10, 90 * y + 20, 30 * (x + y)])
        elif kind == "argb":
            out += bytes([40 * x + 10, 90 * y + 20, 30 * (x + y), 255 - 40 * x - 20 * y])
sys.stdout.buffer.write(out)
PY
}

make() {  # make NAME WIDTH HEIGHT KIND CHANNELS OUTPUT-OPTIONS...
  local name=$1 w=$2 h=$3 kind=$4 channels=$5
  shift 5
  raw "$w" "$h" "$kind" | convert -size "${w}x${h}" -depth 8 "$channels:-" "$@"
  echo "made $name"
}

make mono_7x2.bmp 7 2 mono rgb -type Palette -compress None BMP3:mono_7x2.bmp
make pal4_5x3.bmp 5 3 pal4 rgb -type Palette -compress None BMP3:pal4_5x3.bmp
make pal8_9x2.bmp 9 2 pal8 rgb -type Palette -compress None BMP3:pal8_9x2.bmp
make rgb24_5x3.bmp 5 3 rgb rgb -type TrueColor -compress None BMP3:rgb24_5x3.bmp
make rgb24_7x2.bmp 7 2 rgb rgb -type TrueColor -compress None BMP3:rgb24_7x2.bmp
make argb32_5x3.bmp 5 3 argb rgba -type TrueColorAlpha -define bmp3:alpha=true -compress None BMP3:argb32_5x3.bmp
make rgb24_v5_5x3.bmp 5 3 rgb rgb -type TrueColor -compress None BMP:rgb24_v5_5x3.bmp
make pal8_v5_9x2.bmp 9 2 pal8 rgb -type Palette -compress None BMP:pal8_v5_9x2.bmp
