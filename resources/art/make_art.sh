#!/usr/bin/env bash
# Draws every picture of the main window's skin, the strip canvas and the program icon.
#
#   resources/art/make_art.sh [output-folder]      (default: the folder of this script)
#
# Every picture of the skin is drawn at four screen scales: 100 % into the output folder, and
# 125, 150 and 200 % into its folders 125/, 150/ and 200/ (the program shows the set of the
# window's screen scale). A scaled picture is drawn at its scale, not stretched: sizes, text
# and coordinates are the 100 % ones times the scale, and at 100 % every command is the same
# as it has always been, so the 100 % pictures do not change.
#
# Needs ImageMagick 6 (convert) and the DejaVu fonts (Debian: imagemagick, fonts-dejavu-core).
# This script is the editable source of the artwork: colours, texts and the layout are the
# variables and drawing commands below. The output is 24-bit BMP (and a 32 by 32 icon), at the
# exact sizes the program expects; the BMPs are committed, so building needs no ImageMagick.
#
# Coordinates. The window paints the background one pixel higher than the client area, so a
# control at client (x, y) sits on background pixel (x, y + 1). Every pure red (255, 0, 0)
# pixel of the background lies outside the window's shape; nothing inside the panel may be
# pure red, and the panel keeps clear of the last columns (the shape uses 548 of the 550).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fonts=/usr/share/fonts/truetype/dejavu
Sans=$fonts/DejaVuSans.ttf
Bold=$fonts/DejaVuSans-Bold.ttf
Condensed=$fonts/DejaVuSansCondensed-Bold.ttf
for f in "$Sans" "$Bold" "$Condensed"; do
  [ -f "$f" ] || { echo "make_art.sh: missing font $f (install fonts-dejavu-core)" >&2; exit 1; }
done

# Palette.
Red='#FF0000'          # outside the window's shape
Panel='#F3F5F9'        # body of the panel
Header='#1B2740'       # title band
HeaderLine='#31426A'   # hairline under the title band
Frame='#1B2740'        # one-pixel outline of the whole panel
Ink='#1B2740'          # main text
Muted='#5E6B82'        # secondary text
Faint='#97A3B6'        # hints
Amber='#FFC400'        # accent (the waveform trace and progress bar are amber too)
Navy='#24406E'         # main buttons
NavyEdge='#152A4D'
Pill='#2C3E5E'         # small buttons in the title band
PillEdge='#4C6492'
Coral='#E5484D'        # close button, Stop (never pure red)
Green='#2F9E6A'        # done
Card='#FFFFFF'
CardEdge='#D3DAE6'
StripBack='#FAFBFD'
StripEdge='#B9C3D4'

# Writes a PNG as an uncompressed 24-bit bottom-up BMP.
bmp24() {
  convert "$1" -background "$Panel" -alpha remove -alpha off -type TrueColor -strip "BMP3:$2"
}

# ---------------------------------------------------------------- scale helpers
# The scale of the set being drawn, in percent (set by draw_set).
P=100
# A length times the scale, rounded to a whole pixel ("n 81" is 81 at 100 %, 162 at 200 %).
n() { awk -v v="$1" -v p="$P" 'BEGIN { printf "%d", int(v * p / 100 + 0.5) }'; }
# A length times the scale, unrounded (font sizes, radii).
f() { awk -v v="$1" -v p="$P" 'BEGIN { printf "%g", v * p / 100 }'; }
# The last pixel of a run that ends at pixel v at 100 %.
e() { awk -v v="$1" -v p="$P" 'BEGIN { printf "%d", int((v + 1) * p / 100 + 0.5) - 1 }'; }
# A filled rectangle of whole pixels, inclusive corners at 100 %.
R() { echo "rectangle $(n "$1"),$(n "$2") $(e "$3"),$(e "$4")"; }
# The drawing transform that puts a shape drawn in 100 % coordinates at the scale: pixel
# centres map to pixel centres. Empty at 100 %, so those commands stay as they were.
T() {
  [ "$P" = 100 ] && return 0
  awk -v p="$P" 'BEGIN { s = p / 100; printf "translate %g,%g scale %g,%g ", (s - 1) / 2, (s - 1) / 2, s, s }'
}
# Points "x,y x,y ..." at 100 % as points at the scale (pixel centres to pixel centres), for
# stroked paths, which the drawing transform does not scale cleanly.
pts() {
  awk -v p="$P" -v list="$*" 'BEGIN {
    s = p / 100; k = split(list, xy, /[ ,]+/)
    for (i = 1; i < k; i += 2) printf "%s%g,%g", (i > 1 ? " " : ""), (xy[i] + 0.5) * s - 0.5, (xy[i + 1] + 0.5) * s - 0.5
  }'
}
# A one-pixel horizontal line from x0 to x1 at y: a line at 100 %, a band of whole pixels
# at other scales.
hline() {
  if [ "$P" = 100 ]; then echo "line $1,$3 $2,$3"; else R "$1" "$3" "$2" "$3"; fi
}

draw_set() {  # draw_set PERCENT OUTPUT-FOLDER
P=$1
local out=$2
mkdir -p "$out"
local W H
W=$(n 550) H=$(n 355)
# Panel rectangle in background pixels (inclusive corners) and its corner radius.
local PX0=22 PY0=6 PX1=541 PY1=340 PR=14
local HeaderBottom=63

# ---------------------------------------------------------------- 164: background panel
content=$work/content.png
local strip
if [ "$P" = 100 ]; then
  strip=(-fill "$StripBack" -stroke "$StripEdge" -draw "rectangle 62,67 500,171" -stroke none)
else
  strip=(-fill "$StripEdge" -draw "$(R 62 67 500 171)" -fill "$StripBack" -draw "$(R 63 68 499 170)")
fi
# Texts are placed by the top-left corner of their box (-gravity NorthWest).
convert -size ${W}x${H} "xc:$Panel" -gravity NorthWest \
  -fill "$Header" -draw "$(R 0 0 549 $HeaderBottom)" \
  -fill "$HeaderLine" -draw "$(hline 0 549 $HeaderBottom)" \
  \
  -font "$Bold" -pointsize "$(f 19)" -fill white -annotate +$(n 62)+$(n 11) 'Quavella' \
  -font "$Sans" -pointsize "$(f 12)" -fill '#9FB3D1' -annotate +$(n 161)+$(n 18) 'ringtone maker' \
  -fill "$Amber" -draw "$(T)roundrectangle 36,14 51,29 4,4" \
  -fill "$Header" -draw "$(R 39 20 40 26) $(R 42 17 43 26) $(R 45 19 46 26) $(R 48 22 49 26)" \
  \
  "${strip[@]}" \
  -fill '#E6EAF1' -draw "$(hline 64 498 129)" \
  -font "$Sans" -pointsize "$(f 12)" -fill "$Faint" -gravity North \
  -annotate +$(n 6)+$(n 104) 'The waveform of your song appears here' -gravity NorthWest \
  \
  -stroke "$Amber" -strokewidth "$(f 2)" -fill none \
  -draw "polyline $(pts 186,189 193,194 186,199)" -draw "polyline $(pts 351,189 358,194 351,199)" \
  -stroke none \
  \
  -font "$Sans" -pointsize "$(f 11)" -fill "$Muted" -annotate +$(n 70)+$(n 226) 'Progress' \
  -annotate +$(n 177)+$(n 298) 'Song file' \
  -gravity NorthEast -annotate +$(n 44)+$(n 298) 'Ringtone size' -gravity NorthWest \
  -fill '#DDE2EA' -draw "$(hline 44 519 316)" \
  -fill "$Faint" \
  -annotate +$(n 44)+$(n 321) 'Tip: drag the dark band to move the window.   Alt + / converts and plays.' \
  "$content"

# Numbered steps beside the four main buttons: 1 Browse, 2 select and Play, 3 Convert, 4 Upload.
step() {  # step N centre-x centre-y
  convert "$content" -fill "$Amber" -draw "$(T)circle $2,$3 $(($2 + 8)),$3" \
    -font "$Bold" -pointsize "$(f 11)" -fill "$Ink" -gravity northwest \
    -annotate +$(n $(($2 - 3)))+$(n $(($3 - 7))) "$1" "$content"
}
step 1 54 284
step 2 54 194
step 3 224 194
step 4 389 194

# The shape: a rounded rectangle drawn without smoothing (a window region has no half pixels).
mask=$work/mask.png
convert -size ${W}x${H} xc:black +antialias -fill white \
  -draw "roundrectangle $(n $PX0),$(n $PY0) $(e $PX1),$(e $PY1) $(f $PR),$(f $PR)" "$mask"
convert "$mask" -morphology EdgeIn Square:$(n 1) "$work/edge.png"
convert -size ${W}x${H} "xc:$Red" "$content" "$mask" -composite \
  -size ${W}x${H} "xc:$Frame" "$work/edge.png" -composite \
  "$work/background.png"
bmp24 "$work/background.png" "$out/background.bmp"

# ---------------------------------------------------------------- 165: strip canvas
convert -size $(n 468)x$(n 108) xc:white -fill black -draw "$(R 0 0 467 1)" "$work/canvas.png"
bmp24 "$work/canvas.png" "$out/wave_canvas.bmp"

# ---------------------------------------------------------------- main buttons, 81 by 27
# button NAME FILL EDGE TEXT-COLOUR LABEL ICON-MVG
# The icon is drawn in a 12 by 13 box whose left edge is x 0; icon and label are centred as
# one group.
LabelFont=$Condensed LabelSize=$(f 12)
button() {
  local name=$1 fill=$2 edge=$3 ink=$4 label=$5 icon=$6
  local tw; tw=$(convert -font "$LabelFont" -pointsize $LabelSize "label:$label" -format %w info:)
  local x0=$(( ($(n 81) - ($(n 12) + $(n 5) + tw)) / 2 ))
  convert -size $(n 81)x$(n 27) "xc:$Panel" \
    -fill "$fill" -stroke "$edge" -draw "$(T)roundrectangle 0.5,0.5 79.5,25.5 6,6" -stroke none \
    -fill "$Amber" -draw "translate $x0,0 $(T)$icon" \
    -font "$LabelFont" -pointsize $LabelSize -fill "$ink" -gravity West \
    -annotate +$((x0 + $(n 17)))+0 "$label" \
    "$work/$name.png"
  bmp24 "$work/$name.png" "$out/$name.bmp"
}
button play "$Navy" "$NavyEdge" white 'Play' "polygon 1,7 1,19 11,13"
button stop "$Coral" '#B5363A' white 'Stop' "fill white rectangle 1,8 10,17"
button convert "$Navy" "$NavyEdge" white 'Convert' \
  "ellipse 3,17 3,2.5 0,360 rectangle 5,6 6,17 polygon 6,6 12,8 12,11 6,9"
button upload "$Navy" "$NavyEdge" white 'Upload' \
  "polygon 6,5 12,12 8.5,12 8.5,19 3.5,19 3.5,12 0,12 rectangle 0,20 12,21"
button browse "$Card" "$Navy" "$Ink" 'Browse' \
  "fill '$Navy' polygon 0,8 5,8 7,10 13,10 13,19 0,19 fill '$Amber' rectangle 1,12 12,18"

# ---------------------------------------------------------------- small buttons in the title band
pill() {  # pill NAME WIDTH LABEL
  local name=$1 w=$2 label=$3
  convert -size $(n $w)x$(n 19) "xc:$Header" \
    -fill "$Pill" -stroke "$PillEdge" -draw "$(T)roundrectangle 0.5,0.5 $((w - 1)).5,17.5 8,8" \
    -stroke none -font "$Sans" -pointsize "$(f 11)" -fill white -gravity center -annotate +0+0 "$label" \
    "$work/$name.png"
  bmp24 "$work/$name.png" "$out/$name.bmp"
}
pill wallpaper 140 'Upload Wallpaper'
pill profile 63 'Profile'
pill help 50 'Help'

convert -size $(n 12)x$(n 12) "xc:$Header" -fill "$Coral" -draw "$(T)circle 5.5,5.5 5.5,0" \
  -stroke white -strokewidth 1.6 -draw "$(T)line 3.5,3.5 7.5,7.5 line 7.5,3.5 3.5,7.5" \
  "$work/exit.png"
bmp24 "$work/exit.png" "$out/exit.bmp"

# ---------------------------------------------------------------- status pictures
# status NAME WIDTH ACCENT HEADLINE DETAIL BADGE-MVG
# A card on the panel colour; the wide ones keep their top rows clear (the buttons above
# overlap them by two pixels).
status() {
  local name=$1 w=$2 accent=$3 headline=$4 detail=$5 badge=$6
  local top=5 bottom=46 text=44 size=13
  if [ "$w" -le 150 ]; then top=2 bottom=44 text=14 size=12; fi
  convert -size $(n $w)x$(n 50) "xc:$Panel" \
    -fill "$Card" -stroke "$CardEdge" -draw "$(T)roundrectangle 0.5,$top.5 $((w - 1)).5,$bottom.5 7,7" \
    -stroke none -fill "$accent" -draw "$(T)roundrectangle 1,$((top + 1)) 4,$((bottom - 0)) 2,2" \
    -draw "$(T)$badge" \
    -font "$Bold" -pointsize "$(f $size)" -fill "$Ink" -annotate +$(n $text)+$(n $((top + 17))) "$headline" \
    -font "$Sans" -pointsize "$(f 11)" -fill "$Muted" -annotate +$(n $text)+$(n $((top + 33))) "$detail" \
    "$work/$name.png"
  bmp24 "$work/$name.png" "$out/$name.bmp"
}
none="point -10,-10"
status status_idle 150 "$Amber" 'Choose a song' 'Click Browse below' "$none"
status status_loading 150 "$Amber" 'Loading the song' 'One moment, please' "$none"
status status_loaded 300 "$Navy" 'Select a clip with the mouse' \
  'Drag over the waveform, then press Play' \
  "fill '$Navy' circle 25,25.5 25,14.5 fill white polygon 21,19.5 21,31.5 31,25.5"
status status_converted 300 "$Green" 'Ringtone converted' \
  'Now press Upload to send it to your phone' \
  "fill '$Green' circle 25,25.5 25,14.5 stroke white stroke-width 2.5 fill none polyline 19.5,25.5 23.5,29.5 31,21.5"
status status_uploaded 300 "$Green" 'Ringtone uploaded' \
  'Check your phone for the new ringtone' \
  "fill '$Green' circle 25,25.5 25,14.5 fill white polygon 25,18 31,25 27.5,25 27.5,32 22.5,32 22.5,25 19,25"
}

draw_set 100 "$out"
for scale in 125 150 200; do draw_set $scale "$out/$scale"; done

# ---------------------------------------------------------------- icon 209, 32 by 32
convert -size 32x32 xc:none -fill "$Header" -draw "roundrectangle 0,0 31,31 7,7" \
  -fill "$Amber" \
  -draw "roundrectangle 6,13 8,19 1,1 roundrectangle 11,8 13,24 1,1 roundrectangle 16,5 18,27 1,1" \
  -draw "roundrectangle 21,10 23,22 1,1 roundrectangle 26,14 27,18 1,1" \
  "$work/icon.png"
convert "$work/icon.png" "$out/quavella.ico"

echo "make_art.sh: pictures written to $out"
