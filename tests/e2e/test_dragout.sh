# The cut-out dragged out with the middle button into a drop target of another process,
# which receives exactly the selected block as PNG data and as a file "pic.png"; dragged
# onto the program's own view it is not taken; the program's private folder for the file
# is gone once the program has ended.
source "$(dirname "$0")/lib.sh"
APP=$1
[ -x "${DROP_TARGET:-}" ] || skip "the drop target program is not built"

convert -size 300x200 -seed 7 plasma:fractal -depth 8 -type TrueColor "$E2E_TMP/pic.png" ||
    fail "no test picture"
clipboard_put_png "$E2E_TMP/pic.png"
export TMPDIR=$E2E_TMP/tmp
mkdir -p "$TMPDIR" "$E2E_TMP/got"
spawn "$APP"
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
spawn "$DROP_TARGET" "$E2E_TMP/got" 700 300 300 300
target=$(wait_window '^drop-target$' 10) || fail "no drop target window"

locate_picture "$id" 60 100
pic_x=$PIC_X pic_y=$PIC_Y
# Columns 51..150, rows 41..100 (the block from picture pixel 50,40 on).
left_drag "$id" $(( pic_x + 51 )) $(( pic_y + 41 )) $(( pic_x + 150 )) $(( pic_y + 100 ))
wait_caption "選択(51,41)-(150,100) W=100 H=60"

# A middle click without a drag does nothing; then a middle drag from inside the
# selection onto the target, in steps, as a hand would.
xdotool mousemove --window "$id" $(( pic_x + 80 )) $(( pic_y + 60 )) click 2
sleep 0.3
xdotool mousemove --window "$id" $(( pic_x + 80 )) $(( pic_y + 60 )) mousedown 2
for step in 5 15 30 60; do
    xdotool mousemove --window "$id" $(( pic_x + 80 + step )) $(( pic_y + 60 ))
    sleep 0.1
done
for at in "760 360" "800 400" "820 420" "850 450"; do
    xdotool mousemove ${at% *} ${at#* }
    sleep 0.2
done
xdotool mouseup 2
for _ in $(seq 100); do kill -0 "${E2E_PIDS[-1]}" 2>/dev/null || break; sleep 0.1; done
[ -s "$E2E_TMP/got/formats.txt" ] || fail "the drop target got nothing"
grep -qx 'image/png' "$E2E_TMP/got/formats.txt" || fail "no image/png: $(cat "$E2E_TMP/got/formats.txt")"
[ "$(cat "$E2E_TMP/got/name.txt")" = pic.png ] || fail "the file is '$(cat "$E2E_TMP/got/name.txt")'"
convert "$E2E_TMP/pic.png" -crop 100x60+50+40 +repage "$E2E_TMP/block.png"
for got in data.png file.png; do
    [ "$(identify -format %m "$E2E_TMP/got/$got")" = PNG ] || fail "$got is not a PNG"
    diff=$(compare -metric AE "$E2E_TMP/block.png" "$E2E_TMP/got/$got" null: 2>&1)
    [ "$diff" = 0 ] || fail "$got differs from the selected block in $diff pixels"
done
# Neither click nor drag changed the selection.
wait_caption "選択(51,41)-(150,100) W=100 H=60"

# Dragged onto the program's own view, the cut-out is not taken: were the file loaded, the
# view would show the 100 x 60 block, all of it selected.
xdotool mousemove --window "$id" $(( pic_x + 80 )) $(( pic_y + 60 )) mousedown 2
for step in 5 15 30 60 120; do
    xdotool mousemove --window "$id" $(( pic_x + 80 + step )) $(( pic_y + 60 + step / 2 ))
    sleep 0.1
done
xdotool mouseup 2
sleep 0.5
wait_caption "選択(51,41)-(150,100) W=100 H=60"
xdotool mousemove --window "$id" $(( pic_x + 10 )) $(( pic_y + 10 )) click --repeat 2 --delay 80 1
wait_caption "選択(1,1)-(300,200) W=300 H=200"

quit_by_menu "$id" "$pid"
[ -z "$(find "$TMPDIR" -name pic.png)" ] || fail "the dragged file outlived the program"
echo "drag-out e2e passed"
