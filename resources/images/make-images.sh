#!/bin/bash
# Regenerates every picture used by Tressik into the folder holding this script.
#
# All artwork is drawn from scratch with ImageMagick primitives (gradients,
# shapes and DejaVu text).  Small pictures are drawn at four times their final
# size and scaled down, which gives smooth edges.
#
# Needs: ImageMagick 6 (convert) and fonts-dejavu-core.
#   apt-get install -y imagemagick fonts-dejavu-core
#
# Usage: bash resources/images/make-images.sh

set -euo pipefail

OUT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

command -v convert >/dev/null 2>&1 || {
    echo "make-images.sh: ImageMagick 'convert' not found (apt-get install -y imagemagick)" >&2
    exit 1
}

FONTDIR=/usr/share/fonts/truetype/dejavu
FONT="$FONTDIR/DejaVuSans.ttf"
FONT_BOLD="$FONTDIR/DejaVuSans-Bold.ttf"
for f in "$FONT" "$FONT_BOLD"; do
    [ -f "$f" ] || { echo "make-images.sh: font $f missing (apt-get install -y fonts-dejavu-core)" >&2; exit 1; }
done

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

# Colour scheme
NAVY='#0b2a4a'      # dark blue
TEAL='#14857f'      # teal
PALE='#eaf5f4'      # near-white with a hint of teal
INK='#0e3b5a'       # dark blue used for keyholes and details

# Round line ends and corners for every drawing below
R="stroke-linecap round stroke-linejoin round"

# Options giving byte-identical output on every run
PNGOPTS=(-strip -define png:exclude-chunks=date,time -define png:color-type=6 -define png:bit-depth=8)
JPGOPTS=(-strip -quality 92 -sampling-factor 4:2:0 -interlace none)

# png NAME SIZE  -- scale the 4x drawing in $TMP/NAME.png down to SIZE and store it
png() {
    convert "$TMP/$1.png" -filter Lanczos -resize "$2!" "${PNGOPTS[@]}" "PNG32:$OUT/$1.png"
}

# canvas W H  -- print an empty transparent canvas argument list (4x size)
canvas() { echo "-size $1x$2 xc:none"; }

# Two overlapping sheets of paper in the lower right corner (128x128 drawing),
# the common "copy" sign of the three copy buttons.
SHEETS="stroke #55677a stroke-width 5 fill #ffffff
        roundrectangle 62,58 102,106 6,6
        stroke #a3b1bf stroke-width 4
        line 70,72 94,72  line 70,82 94,82  line 70,92 86,92
        stroke #55677a stroke-width 5 fill #ffffff
        roundrectangle 80,74 120,122 6,6
        stroke #a3b1bf stroke-width 4
        line 88,88 112,88  line 88,98 112,98  line 88,108 104,108"

###########################################################################
# Application icon (256x256, 48x48).  tressik.svg below draws the same shapes.
###########################################################################
convert -size 256x256 xc:white \
    -sparse-color Barycentric "0,0 $NAVY  255,255 $TEAL" \
    -alpha set \
    \( -size 256x256 xc:none -fill white -draw "$R roundrectangle 8,8 247,247 48,48" \) \
    -compose DstIn -composite -compose Over \
    -fill none -stroke 'rgba(255,255,255,0.18)' -strokewidth 3 \
    -draw "$R roundrectangle 10,10 245,245 46,46" \
    -stroke none -fill 'rgba(0,0,0,0.25)' -draw "$R roundrectangle 66,122 194,218 16,16" \
    -fill none -stroke "$PALE" -strokewidth 22 \
    -draw "$R path 'M 88,122 L 88,90 A 40,40 0 0 1 168,90 L 168,122'" \
    -stroke none -fill "$PALE" -draw "$R roundrectangle 62,116 194,214 16,16" \
    -fill "$INK" -draw "$R circle 128,152 128,166" \
    -draw "$R polygon 120,158 136,158 142,192 114,192" \
    "${PNGOPTS[@]}" "PNG32:$OUT/tressik.png"

convert "$OUT/tressik.png" -filter Lanczos -resize '48x48!' -unsharp 0x0.6+0.6+0 \
    "${PNGOPTS[@]}" "PNG32:$OUT/tressik-48.png"

cat > "$OUT/tressik.svg" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Tressik</title>
  <defs>
    <linearGradient id="bg" x1="0" y1="0" x2="1" y2="1">
      <stop offset="0" stop-color="#0b2a4a"/>
      <stop offset="1" stop-color="#14857f"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="48" ry="48" fill="url(#bg)"/>
  <rect x="10" y="10" width="236" height="236" rx="46" ry="46" fill="none"
        stroke="#ffffff" stroke-opacity="0.18" stroke-width="3"/>
  <rect x="66" y="122" width="128" height="96" rx="16" ry="16" fill="#000000" fill-opacity="0.25"/>
  <path d="M 88,122 L 88,90 A 40,40 0 0 1 168,90 L 168,122"
        fill="none" stroke="#eaf5f4" stroke-width="22"/>
  <rect x="62" y="116" width="132" height="98" rx="16" ry="16" fill="#eaf5f4"/>
  <circle cx="128" cy="152" r="14" fill="#0e3b5a"/>
  <polygon points="120,158 136,158 142,192 114,192" fill="#0e3b5a"/>
</svg>
EOF

###########################################################################
# Splash screen (478x318 JPEG)
###########################################################################
convert -size 478x318 xc:"$NAVY" \
    -sparse-color Barycentric "0,0 #0a2240  477,0 #0f4f6e  477,317 $TEAL" \
    -fill 'rgba(255,255,255,0.05)' -draw "$R circle 110,160 110,20" \
    -fill 'rgba(255,255,255,0.05)' -draw "$R circle 110,160 110,60" \
    -fill 'rgba(0,0,0,0.25)' -draw "$R roundrectangle 63,145 163,221 12,12" \
    -fill none -stroke "$PALE" -strokewidth 16 \
    -draw "$R path 'M 82,144 L 82,118 A 28,28 0 0 1 138,118 L 138,144'" \
    -stroke none -fill "$PALE" -draw "$R roundrectangle 58,140 162,216 12,12" \
    -fill "$INK" -draw "$R circle 110,168 110,179" \
    -draw "$R polygon 104,173 116,173 121,199 99,199" \
    -stroke 'rgba(255,255,255,0.35)' -strokewidth 1 -draw "$R line 206,104 206,214" \
    -stroke none -fill white -font "$FONT_BOLD" -pointsize 52 -annotate +222+156 'Tressik' \
    -fill '#d4ecea' -font "$FONT" -pointsize 19 -annotate +224+186 'Password keeper' \
    -fill '#a9d3d0' -pointsize 13 -annotate +225+208 'Version 1.0' \
    -fill '#c9e4e2' -pointsize 11 -gravity south -annotate +0+12 'Loading...' \
    "${JPGOPTS[@]}" "$OUT/splash.jpg"

###########################################################################
# About box header (497x68 JPEG).  The program draws its name in black over
# the left part, so that part stays pale and calm.
###########################################################################
convert -size 68x497 gradient:black-white -rotate -90 \
    -evaluate pow 3.2 +level-colors "#f4f9fa,$TEAL" \
    -fill "$NAVY" -draw "$R rectangle 0,65 496,67" \
    -fill 'rgba(255,255,255,0.10)' -draw "$R circle 462,34 462,2" \
    -fill none -stroke "$PALE" -strokewidth 5 \
    -draw "$R path 'M 453,33 L 453,25 A 9,9 0 0 1 471,25 L 471,33'" \
    -stroke none -fill "$PALE" -draw "$R roundrectangle 446,31 478,54 4,4" \
    -fill "$INK" -draw "$R circle 462,39 462,43" \
    -draw "$R polygon 460,41 464,41 465.5,49 458.5,49" \
    "${JPGOPTS[@]}" "$OUT/about-header.jpg"

###########################################################################
# Main window buttons (32x32 PNG, drawn at 128x128)
###########################################################################

# add: green plus
convert $(canvas 128 128) -fill none \
    -stroke '#1d6a30' -strokewidth 36 -draw "$R line 64,18 64,110 line 18,64 110,64" \
    -stroke '#3fb35c' -strokewidth 24 -draw "$R line 64,18 64,110 line 18,64 110,64" \
    -stroke 'rgba(255,255,255,0.35)' -strokewidth 6 -draw "$R line 52,28 52,48 line 28,52 48,52" \
    "$TMP/add.png"
png add 32x32

# delete: red cross
convert $(canvas 128 128) -fill none \
    -stroke '#8c1c1c' -strokewidth 36 -draw "$R line 30,30 98,98 line 98,30 30,98" \
    -stroke '#e0473f' -strokewidth 24 -draw "$R line 30,30 98,98 line 98,30 30,98" \
    "$TMP/delete.png"
png delete 32x32

# edit: pencil lying diagonally, tip at the lower left
convert $(canvas 128 128) -stroke '#3b3024' -strokewidth 5 \
    -draw "$R translate 64,64 rotate -45 scale 1.15,1.15
           fill #f0d6a4 polygon -34,-15 -62,0 -34,15
           fill #3b3024 polygon -62,0 -52,-5.4 -52,5.4
           fill #f4b81c rectangle -34,-15 26,15
           fill #d99a0e rectangle -34,5 26,15
           fill #b9c0c8 rectangle 26,-15 36,15
           fill #e8849a roundrectangle 36,-15 54,15 6,6" \
    "$TMP/edit.png"
png edit 32x32

# goto: arrow leaving an open box
convert $(canvas 128 128) \
    -fill '#e8f0f8' -stroke none -draw "$R roundrectangle 14,34 94,114 10,10" \
    -fill none -stroke '#2c4a6e' -strokewidth 9 \
    -draw "$R path 'M 56,34 L 24,34 Q 14,34 14,44 L 14,104 Q 14,114 24,114 L 84,114 Q 94,114 94,104 L 94,72'" \
    -stroke '#1f78c8' -strokewidth 13 -draw "$R line 48,80 96,32" \
    -stroke '#1f78c8' -strokewidth 4 -fill '#1f78c8' -draw "$R polygon 116,12 116,62 66,12" \
    "$TMP/goto.png"
png goto 32x32

# website: globe
convert $(canvas 128 128) \
    -fill '#3b8fd9' -stroke none -draw "$R circle 64,64 64,10" \
    -fill '#5fb85a' -draw "$R path 'M 30,34 Q 46,26 58,34 Q 62,46 50,52 Q 40,58 44,70 Q 38,78 28,70 Q 18,56 30,34 Z'" \
    -draw "$R path 'M 74,56 Q 90,50 100,62 Q 104,80 92,94 Q 82,104 78,90 Q 82,76 72,68 Q 68,60 74,56 Z'" \
    -fill none -stroke '#dcefff' -strokewidth 4 \
    -draw "$R ellipse 64,64 24,54 0,360" \
    -draw "$R line 10,64 118,64" \
    -draw "$R line 18,37 110,37  line 18,91 110,91" \
    -draw "$R line 64,10 64,118" \
    -stroke '#1b5792' -strokewidth 7 -draw "$R circle 64,64 64,10" \
    "$TMP/website.png"
png website 32x32

# copy_icon NAME DRAWING...: a copy button, the drawing beside the copy sheets.
copy_icon() {
    local name=$1
    shift
    convert $(canvas 128 128) "$@" -draw "$R $SHEETS" "$TMP/$name.png"
    png "$name" 32x32
}

# copy-user: person with copy sheets
copy_icon copy-user -stroke '#23406b' -strokewidth 4 -fill '#4f79b5' \
    -draw "$R circle 40,32 40,52" \
    -draw "$R path 'M 6,112 L 6,90 Q 6,60 40,60 Q 74,60 74,90 L 74,112 Z'"

# copy-password: key with copy sheets
copy_icon copy-password \
    -fill '#e3a81f' -stroke '#7a5608' -strokewidth 5 \
    -draw "$R polygon 44,33 118,33 118,47 114,47 114,64 104,64 104,47 98,47 98,60 88,60 88,47 44,47" \
    -draw "$R circle 30,40 30,64" \
    -fill none -stroke '#7a5608' -strokewidth 5 -draw "$R circle 22,40 22,48" \
    -fill none -stroke none

# copy-location: map pin with copy sheets
copy_icon copy-location \
    -fill '#d9453b' -stroke '#7d1d17' -strokewidth 5 \
    -draw "$R path 'M 38,116 C 30,100 8,74 8,44 A 30,30 0 0 1 68,44 C 68,74 46,100 38,116 Z'" \
    -fill white -stroke '#7d1d17' -strokewidth 4 -draw "$R circle 38,44 38,56"

# save: green check mark
convert $(canvas 128 128) -fill none \
    -stroke '#17602a' -strokewidth 34 -draw "$R polyline 20,68 50,98 108,30" \
    -stroke '#41c062' -strokewidth 22 -draw "$R polyline 20,68 50,98 108,30" \
    "$TMP/save.png"
png save 32x32

# cancel: red ring with a slash on a light grey disc
convert $(canvas 128 128) \
    -fill '#ececec' -stroke none -draw "$R circle 64,64 64,14" \
    -fill none -stroke '#c62828' -strokewidth 16 -draw "$R circle 64,64 64,16" \
    -draw "$R line 31,31 97,97" \
    "$TMP/cancel.png"
png cancel 32x32

###########################################################################
# Browser buttons (drawn at 4x)
###########################################################################

# go: the word "go" beside a blue right arrow (46x16)
convert $(canvas 184 64) \
    -fill '#1b3a5c' -font "$FONT_BOLD" -pointsize 54 -annotate +2+44 'go' \
    -fill '#1f78c8' -stroke '#124e85' -strokewidth 4 \
    -draw "$R polygon 96,23 140,23 140,6 180,32 140,58 140,41 96,41" \
    "$TMP/go.png"
png go 46x16

# round button: NAME FILL DARK  followed by the symbol drawing
round_button() {
    local name=$1 fill=$2 dark=$3 symbol=$4
    convert $(canvas 96 96) \
        -fill "$fill" -stroke "$dark" -strokewidth 5 -draw "$R circle 48,48 48,5" \
        -stroke none -fill 'rgba(255,255,255,0.28)' -draw "$R ellipse 48,30 28,15 0,360" \
        -fill none -stroke white -strokewidth 13 -draw "$R $symbol" \
        "$TMP/$name.png"
    png "$name" 24x24
}

round_button back    '#3aa655' '#1d6a30' "line 26,48 70,48"
round_button forward '#3aa655' '#1d6a30' "line 26,48 70,48 line 48,26 48,70"
round_button stop    '#d93a32' '#86201a' "line 32,32 64,64 line 64,32 32,64"

# refresh: two curved arrows chasing each other round a circle (24x24)
convert $(canvas 96 96) -fill none -stroke '#1f78c8' -strokewidth 11 \
    -draw "$R path 'M 18.1,40.0 A 31,31 0 0 1 73.4,30.2'" \
    -draw "$R path 'M 77.9,56.0 A 31,31 0 0 1 22.6,65.8'" \
    -stroke '#1f78c8' -strokewidth 3 -fill '#1f78c8' \
    -draw "$R polygon 82.0,42.5 84.9,22.2 61.9,38.2" \
    -draw "$R polygon 14.0,53.5 11.1,73.8 34.1,57.8" \
    "$TMP/refresh.png"
png refresh 24x24

echo "Images written to $OUT"
