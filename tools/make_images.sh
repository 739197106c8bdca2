#!/usr/bin/env bash
# Draws the product logo (200 x 109, 24-bit BMP) and the program icon with ImageMagick.
set -euo pipefail
cd "$(dirname "$0")/../resources"
convert -size 200x109 gradient:'#0b2a6b'-'#1f6fd1' \
  -fill '#ffd23f' -draw "polygon 14,88 58,20 70,20 26,88" \
  -fill white -font Liberation-Serif-Bold -pointsize 34 -annotate +74+60 'Velantra' \
  -fill '#ffd23f' -font Liberation-Sans -pointsize 13 -annotate +78+84 'REMOTE START' \
  -type TrueColor BMP3:velantra_logga.bmp
convert -size 64x64 xc:none -fill '#1f6fd1' -draw "roundrectangle 2,2 61,61 10,10" \
  -fill '#ffd23f' -draw "polygon 12,52 34,12 44,12 22,52" \
  -fill white -draw "circle 46,40 46,52" velantra.png
# The same icon for the desktop's hicolor theme: drawn once large, scaled to each size.
icons=../packaging/icons
convert -size 256x256 xc:none -fill '#1f6fd1' -draw "scale 4,4 roundrectangle 2,2 61,61 10,10" \
  -fill '#ffd23f' -draw "scale 4,4 polygon 12,52 34,12 44,12 22,52" \
  -fill white -draw "scale 4,4 circle 46,40 46,52" "$icons/velantra-256.png"
for size in 16 24 32 48 64 128; do
  convert "$icons/velantra-256.png" -resize "${size}x${size}" "PNG32:$icons/velantra-$size.png"
done
convert "$icons/velantra-256.png" "PNG32:$icons/velantra-256.png"
# The program icon of the Windows executable (resources/velantra-remote.rc): the sizes Explorer asks for.
convert "$icons"/velantra-{16,24,32,48,64,256}.png velantra.ico
