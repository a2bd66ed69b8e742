# Editing the selection with the real pointer and keyboard on a real X server: a left
# drag, a drag that leaves the window (the picture keeps the pointer and the view
# scrolls), Alt alone leaving the focus on the picture, and Alt+Right scrolling the
# view after the selection.
source "$(dirname "$0")/lib.sh"
APP=$1

# Every column has its own colour (red = column mod 256, green = column div 256) and
# blue is the row mod 256, so a screenshot tells which picture pixel is shown where.
convert -size 1000x800 xc: -channel R -fx '(i%256)/255' -channel G -fx 'floor(i/256)/255' \
    -channel B -fx '(j%256)/255' +channel -depth 8 "$E2E_TMP/cols.png" || fail "no test picture"
clipboard_put_png "$E2E_TMP/cols.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(1000,800) W=1000 H=800"

eval "$(xdotool getwindowgeometry --shell "$id")"
win_x=$X win_y=$Y
menu_h=$(( HEIGHT - 330 ))
[ "$menu_h" -ge 0 ] || menu_h=20
pic_y=$(( menu_h + 32 ))  # the picture's top edge in window coordinates

# Pixel (x, y) of the screen as "r,g,b".
screen_pixel() {
    import -window root "$E2E_TMP/screen.png" || fail "no screenshot"
    convert "$E2E_TMP/screen.png" -crop "1x1+$1+$2" -depth 8 -format '%[fx:int(255*r+.5)],%[fx:int(255*g+.5)],%[fx:int(255*b+.5)]' info:
}

# Whether the viewport's first column shows picture column $1 (the picture's pixels
# encode their column in red and green).
shows_column() {
    got=$(screen_pixel $(( win_x + pic_x )) $(( win_y + pic_y + 10 )))
    [ "$got" = "$(( $1 % 256 )),$(( $1 / 256 )),10" ]
}

locate_picture "$id" 60 $(( pic_y + 60 ))
pic_x=$PIC_X pic_y=$PIC_Y

# A left drag from picture point 50,40 to 150,140.
left_drag "$id" $(( pic_x + 50 )) $(( pic_y + 40 )) $(( pic_x + 150 )) $(( pic_y + 140 ))
wait_caption "選択(50,40)-(150,140) W=101 H=101"

# A drag that ends outside the window, right of it: the picture keeps receiving the
# pointer (column 600 of the picture, past the visible right edge 401), the view
# scrolls by one pixel for that one move.
xdotool mousemove --window "$id" $(( pic_x + 100 )) $(( pic_y + 100 )) mousedown 1
sleep 0.2
xdotool mousemove --window "$id" $(( pic_x + 600 )) $(( pic_y + 100 ))
sleep 0.2
xdotool mouseup 1
wait_caption "選択(100,100)-(600,100) W=501 H=1"
# The viewport's first column now shows picture column 1 (HS 2).
wait_until 5 shows_column 1 ||
    fail "after the drag the view does not start at column 1: $(screen_pixel $(( win_x + pic_x )) $(( win_y + pic_y + 10 )))"

# Alt pressed and released alone must not take the focus to the menu bar.
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key alt
sleep 0.2
xdotool key Right
wait_caption "選択(101,100)-(601,100) W=501 H=1"

# Alt+Right: the right edge 602 is beyond the visible right (viewport width + 1), so
# the view jumps to HS = 602 - viewport width and shows picture column HS - 1 at its
# left edge. The viewport is the window's width less the 16 pixels of the bar.
viewport_w=$(( WIDTH - 16 ))
column=$(( 602 - viewport_w - 1 ))
xdotool key alt+Right
wait_caption "選択(102,100)-(602,100) W=501 H=1"
wait_until 5 shows_column "$column" ||
    fail "Alt+Right did not scroll the view to column $column: $got"
echo "editing e2e passed"
