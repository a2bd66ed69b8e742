# xvfb-screen: 2600x1100x24
# Two monitors side by side at different scales (100 % left, 200 % right), in a nested
# X server whose screen is split into two RandR monitors: on both, the picture is shown
# at one screen pixel per picture pixel with the highlight on exactly the selected
# block (the whole picture, and a block dragged at 200 %), and the controls grow with
# the scale.
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1

command -v Xephyr > /dev/null || { echo "SKIP: Xephyr is not installed"; exit 77; }
command -v xrandr > /dev/null || { echo "SKIP: xrandr is not installed"; exit 77; }

# The nested server picks a free display number itself and names it on a pipe.
exec {fd}<> <(:)
spawn Xephyr -displayfd "$fd" -screen 2560x1024 -nolisten tcp -noreset
read -r -t 10 -u "$fd" number || { echo "SKIP: Xephyr did not start"; exit 77; }
export DISPLAY=:$number
xrandr --setmonitor Left 1280/338x1024/270+0+0 default > /dev/null 2>&1
xrandr --setmonitor Right 1280/338x1024/270+1280+0 none > /dev/null 2>&1
[ "$(xrandr --listmonitors 2>/dev/null | head -n 1)" = "Monitors: 2" ] ||
    { echo "SKIP: the nested server cannot be split into two monitors"; exit 77; }
export QT_SCREEN_SCALE_FACTORS="Left=1;Right=2"

quadrant_pictures

own_copy "$APP_BUILT"
clipboard_put_png "$E2E_TMP/known.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"

# Moves the window to $1,$2 (device pixels) and checks the view there; prints the
# picture's top row in the window (the height of the menu and the button strip).
view_at() {
    local x y top diff px
    xdotool windowmove "$id" "$1" "$2"
    sleep 1
    eval "$(xdotool getwindowgeometry --shell "$id")"
    x=$X y=$Y
    [ "$x" -ge "$3" ] && [ "$x" -lt "$(($3 + 1280))" ] || fail "the window is at $x, not on the $4 monitor"
    top=$(picture_top "$id" "63,255,255") || fail "$4: the picture is not on the screen"
    # The highlight ends with the picture: right of and below it the grey viewport.
    expect_shown_quadrants "$x" "$((y + top))" "$4"
    if [ -n "${TRIMLET_SHOTS:-}" ]; then cp "$E2E_TMP/screen.png" "$TRIMLET_SHOTS/two-screens-$4.png"; fi
    echo "$top"
}

top_left=$(view_at 100 100 0 left) || exit 1
top_right=$(view_at 1380 100 1280 right) || exit 1
# The menu bar and the buttons above the picture are twice as tall at 200 %.
[ $((top_right * 10)) -ge $((top_left * 18)) ] ||
    fail "the controls did not scale: the picture starts $top_left rows down at 100 %, $top_right at 200 %"
# A drag at 200 %: pointer positions count in screen pixels, odd ones included, and the
# highlight covers exactly the selected block (inside the red quadrant) and nothing else.
eval "$(xdotool getwindowgeometry --shell "$id")"
left_drag "$id" 21 $((top_right + 31)) 119 $((top_right + 79))
wait_caption "選択(21,31)-(119,79) W=99 H=49"
sleep 0.3
convert "$E2E_TMP/known.png" -fill 'rgb(63,255,255)' -draw 'rectangle 20,30 118,78' \
    -depth 8 -type TrueColor "$E2E_TMP/block.png"
import -window root "$E2E_TMP/screen.png" || fail "no screenshot"
convert "$E2E_TMP/screen.png" -crop "300x200+$X+$((Y + top_right))" +repage -depth 8 \
    -type TrueColor "$E2E_TMP/part.png"
diff=$(compare -metric AE "$E2E_TMP/block.png" "$E2E_TMP/part.png" null: 2>&1)
[ "$diff" = "0" ] || fail "right: the selected block is shown wrong in $diff pixels"
# And back (the whole picture selected again by a double click).
xdotool mousemove --window "$id" 50 $((top_right + 50)) click --repeat 2 --delay 80 1
wait_caption "選択(1,1)-(300,200) W=300 H=200"
top_back=$(view_at 100 100 0 left-again) || exit 1
[ "$top_back" = "$top_left" ] || fail "back at 100 % the picture starts $top_back rows down, not $top_left"
echo "two-screen e2e passed"
