#!/bin/sh
# Draws the bitmaps of the program with ImageMagick: the icon in the sizes the window and the
# About box use (the same picture as gorvane.svg), and the maker's logo for the About box.
set -eu
cd "$(dirname "$0")"

icon() { # size
    s=$1
    convert -size 256x256 xc:none \
        -fill '#25579a' -draw 'roundrectangle 12,12 244,244 40,40' \
        -fill '#f2c14e' -draw 'roundrectangle 44,52 100,92 6,6' \
        -stroke '#e8eef7' -strokewidth 10 -fill none \
        -draw 'line 72,92 72,196' -draw 'line 72,124 120,124' -draw 'line 72,160 120,160' -draw 'line 72,196 120,196' \
        -stroke none -fill '#e8eef7' \
        -draw 'roundrectangle 120,108 208,140 6,6' -draw 'roundrectangle 120,144 208,176 6,6' \
        -draw 'roundrectangle 120,180 208,212 6,6' \
        -fill '#3aa655' -draw 'circle 188,124 188,135' \
        -fill '#9aa7b8' -draw 'circle 140,160 140,171' -draw 'circle 140,196 140,207' \
        -resize "${s}x${s}" -strip "gorvane-$s.png"
}
icon 32
icon 256

# The maker's logo: 137 x 65, a wave mark over the name.
convert -size 137x65 xc:white \
    -fill '#0f5e7a' -draw 'roundrectangle 4,6 40,42 8,8' \
    -fill white -draw 'polygon 10,30 18,16 26,30 34,16 34,24 26,38 18,24 10,38' \
    -fill '#0f5e7a' -font DejaVu-Sans-Bold -pointsize 15 -draw 'text 46,24 "HALVESSA"' \
    -fill '#5b7f8c' -font DejaVu-Sans -pointsize 10 -draw 'text 47,38 "LIMITED"' \
    -fill '#0f5e7a' -draw 'rectangle 4,52 132,54' \
    -type Palette -strip halvessa-logo.png
