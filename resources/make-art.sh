#!/usr/bin/env bash
# Draws the program's artwork with ImageMagick: the piece-size button's bitmap
# (16 x 15, 16 colours: a folder with a magnifying glass on light grey) and the
# application icon (a page cut in two, at 16, 20, 24, 32, 48 and 256 pixels), Glimber's menu
# bitmap and the setup program's side picture. The results are
# committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
convert -size 16x15 xc:'#c0c0c0' \
  -fill '#ffff00' -stroke '#808000' -draw 'polygon 0,4 5,4 6,5 11,5 11,13 0,13' \
  -fill '#c0c000' -stroke none -draw 'rectangle 1,3 4,4' \
  -fill '#ffffff' -stroke '#000000' -draw 'circle 11,8 13,10' \
  -stroke '#000000' -draw 'line 13,11 15,14' \
  -colors 16 -type Palette BMP3:PieceSize.bmp
# Drawn at each size rather than scaled, so that every one is sharp; the
# lines grow with the size.
for size in 16 20 24 32 48 256; do
  s=$((size - 1)); h=$((size / 2)); q=$((size / 4)); w=$(( size >= 48 ? size / 24 : 1 ))
  convert -size ${size}x${size} xc:none -strokewidth $w \
    -fill '#ffffff' -stroke '#000080' -draw "rectangle $q,$((w / 2)) $((s - q)),$((h - 2 - w))" \
    -fill '#c0d8ff' -stroke '#000080' -draw "rectangle $q,$((h + 1 + w)) $((s - q)),$((s - w / 2))" \
    -stroke '#ff0000' -draw "line 0,$h $s,$h" \
    "icon$size.png"
done
convert icon16.png icon20.png icon24.png icon32.png icon48.png icon256.png Parvex.ico
# Glimber's menu bitmap: 10 x 14, 16 colours, scissors (red blades, dark blue
# handles) on menu grey.
convert -size 10x14 xc:'#c0c0c0' \
  -stroke '#ff0000' -draw 'line 2,0 6,8' -draw 'line 7,0 3,8' \
  -stroke '#000080' -fill none -draw 'circle 2,11 2,9' -draw 'circle 7,11 7,9' \
  -colors 16 -type Palette BMP3:../shellext/Scissors.bmp
rm icon16.png icon20.png icon24.png icon32.png icon48.png icon256.png
# The setup program's side picture on its first and last pages: 164 x 314,
# the icon's page cut in two, large, on a blue gradient.
convert -size 164x314 gradient:'#1c3f8f'-'#0a1a40' \
  -fill '#ffffff' -stroke '#c0d8ff' -strokewidth 2 -draw 'rectangle 42,60 122,130' \
  -fill '#c0d8ff' -stroke '#c0d8ff' -draw 'rectangle 42,142 122,212' \
  -stroke '#ff3030' -strokewidth 4 -draw 'line 20,136 144,136' \
  -stroke none -fill '#ffffff' -pointsize 20 -gravity south -annotate +0+60 'Corvane Split' \
  -type TrueColor BMP3:../installer/Sidebar.bmp
