# 画面ｷｬﾌﾟﾁｬ on a real X server: the capture holds what is on the screen, and not the
# program's own window.
source "$(dirname "$0")/lib.sh"
APP=$1

# Four coloured quadrants and a gradient band: easy to recognise, exact in 8 bits.
convert -size 100x75 xc:red xc:lime +append \( -size 100x75 xc:blue xc:yellow +append \) -append \
    \( -size 200x20 gradient:white-black \) -append +repage -depth 8 "$E2E_TMP/known.png" || fail "no test picture"
spawn display -geometry +700+500 "$E2E_TMP/known.png"
known=$(wait_window 'known.png' 15) || fail "the known picture is not on the screen"

convert -size 40x30 xc:blue "$E2E_TMP/start.png"
clipboard_put_png "$E2E_TMP/start.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(40,30) W=40 H=30"

eval "$(xdotool getwindowgeometry --shell "$id")"
app_x=$X app_y=$Y app_w=$WIDTH app_h=$HEIGHT
eval "$(xdotool getwindowgeometry --shell "$known")"
known_x=$X known_y=$Y
# The capture button sits at 200..273 in the strip above the picture (blue shown as
# blue XOR 192,255,255).
top=$(picture_top "$id" "192,255,0") || fail "the picture is not on the screen"
xdotool mousemove --window "$id" 236 $(( top - 16 )) click 1
wait_caption "選択(1,1)-(1280,1024) W=1280 H=1024" 20

xclip -selection clipboard -t image/png -o > "$E2E_TMP/capture.png" || fail "no picture on the clipboard"
[ "$(identify -format '%wx%h' "$E2E_TMP/capture.png")" = "1280x1024" ] || fail "capture is not the whole screen"

# The known picture is in the capture, pixel for pixel, inside the viewer's 2-pixel border.
convert "$E2E_TMP/capture.png" -crop "200x170+$((known_x + 2))+$((known_y + 2))" +repage "$E2E_TMP/part.png"
diff=$(compare -metric AE "$E2E_TMP/known.png" "$E2E_TMP/part.png" null: 2>&1)
[ "$diff" = "0" ] || fail "the known picture differs in $diff pixels"

# Where the program's window was, the capture shows the bare (black) root window.
convert "$E2E_TMP/capture.png" -crop "${app_w}x${app_h}+${app_x}+${app_y}" +repage "$E2E_TMP/app.png"
brightest=$(convert "$E2E_TMP/app.png" -format '%[fx:maxima]' info:)
[ "$brightest" = "0" ] || fail "the capture shows the program's own window (max $brightest)"
echo "capture e2e passed"
