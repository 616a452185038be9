#!/usr/bin/env bash
# Makes the icon files from the one picture packaging/icons/tarnwick.svg: PNGs of every size the
# desktop's icon theme uses (installed under share/icons/hicolor) and tarnwick.ico for the Windows
# program and its installer (the same sizes, 16 to 256 pixels). The results are committed, so
# that building and packaging need neither tool; run this again after changing the picture.
# Needs rsvg-convert (Debian: librsvg2-bin) and ImageMagick's convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
for tool in rsvg-convert convert; do
  command -v "$tool" >/dev/null || { echo "make-icons: $tool is missing (apt-get install librsvg2-bin imagemagick)" >&2; exit 1; }
done
sizes=(16 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
  # Each size is drawn from the picture itself, not scaled down from a larger PNG, so that the
  # small ones stay sharp.
  rsvg-convert --width "$size" --height "$size" tarnwick.svg -o "tarnwick-$size.png"
done
ico_parts=()
for size in 16 24 32 48 64 256; do ico_parts+=("tarnwick-$size.png"); done
convert "${ico_parts[@]}" -strip tarnwick.ico
echo "made tarnwick-16.png to tarnwick-256.png (${sizes[*]}) and tarnwick.ico in packaging/icons"
