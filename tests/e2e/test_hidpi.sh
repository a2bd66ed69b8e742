# xvfb-screen: 3840x2160x24
# At a desktop scale of 200 % on a 3840 x 2160 screen: the picture is shown at one
# screen pixel per picture pixel (not as 2 x 2 blocks), and a capture holds the screen
# at its full 3840 x 2160 pixels.
source "$(dirname "$0")/lib.sh"
APP=$1
export QT_SCALE_FACTOR=2

quadrant_pictures

clipboard_put_png "$E2E_TMP/known.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
sleep 0.5

eval "$(xdotool getwindowgeometry --shell "$id")"
win_x=$X win_y=$Y
top=$(picture_top "$id" "63,255,255") || fail "the picture is not on the screen"
expect_shown_quadrants "$win_x" "$((win_y + top))" "200 %"

# The pointer is read to the device pixel: a drag between odd device pixels (half a
# logical pixel apart from the even ones) selects exactly those pixels.
left_drag "$id" 51 $((top + 41)) 119 $((top + 83))
wait_caption "選択(51,41)-(119,83) W=69 H=43"
left_drag "$id" 12 $((top + 9)) 13 $((top + 10))
wait_caption "選択(12,9)-(13,10) W=2 H=2"

# The capture button is at 200..273 (logical) in the strip 16 (logical) above the
# picture: 472, top - 32 in device pixels.
xdotool mousemove --window "$id" 472 $((top - 32)) click 1
wait_caption "選択(1,1)-(3840,2160) W=3840 H=2160" 20
xclip -selection clipboard -t image/png -o > "$E2E_TMP/capture.png" || fail "no picture on the clipboard"
[ "$(identify -format '%wx%h' "$E2E_TMP/capture.png")" = "3840x2160" ] || fail "capture is not 3840 x 2160"
echo "HiDPI e2e passed"
