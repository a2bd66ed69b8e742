# Sourced by session.sh: the cut-out dragged out with the middle button into a Wayland
# drop target of another process, which receives exactly the selected block as PNG data
# and as a file "pic.png". The seat gets a pointer of its own (seat_pointer), driven as a
# hand would.
[ -x "${WL_DROP_TARGET:-}" ] || skip "the drop target program was not built"
[ -x "${WL_SEAT_POINTER:-}" ] || skip "the seat pointer program was not built"

has_pointer() { swaymsg -t get_seats -r | grep -q '"type": "pointer"'; }
window_shown() { swaymsg -t get_tree -r | grep -q "\"name\": \"$1\""; }
done_count() { [ "$(grep -c '^done$' "$TOP/pointer.log")" -ge "$1" ]; }
# pointer move X Y | press N | release N: one command, waited for until sway took it.
pointer_commands=0
pointer() {
    echo "$*" >&7 || fail "the seat pointer is gone"
    pointer_commands=$((pointer_commands + 1))
    wait_until 5 done_count $pointer_commands || fail "the seat pointer did not $*"
}

mkfifo "$TOP/pointer.in" || fail "no fifo"
spawn sh -c 'exec "$0" 1024 768 <"$1" >"$2" 2>&1' "$WL_SEAT_POINTER" "$TOP/pointer.in" \
    "$TOP/pointer.log"
exec 7>"$TOP/pointer.in"
wait_until 5 has_pointer || skip "sway took no virtual pointer: $(cat "$TOP/pointer.log")"

convert -size 300x200 -seed 7 plasma:fractal -depth 8 -type TrueColor "$TOP/pic.png" ||
    fail "no test picture"
clipboard_put_png "$TOP/pic.png"
mkdir -p "$TOP/tmp" "$TOP/got"
TMPDIR=$TOP/tmp QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
# Tiled beside the program, on the right half of the screen.
QT_QPA_PLATFORM=wayland spawn "$WL_DROP_TARGET" "$TOP/got" 0 0 300 300
target=${E2E_PIDS[-1]}
wait_until 10 window_shown drop-target || fail "no drop target window"
read -r tx ty tw th < <(swaymsg -t get_tree -r | python3 -c '
import json, sys
def walk(n):
    if n.get("name") == "drop-target":
        r = n["rect"]
        print(r["x"], r["y"], r["width"], r["height"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))')
[ -n "${th:-}" ] || fail "the drop target has no place on the screen"

# Where the picture lies: a click on it leaves one pixel selected, and the caption names it
# (far from the drag that follows, which would otherwise make it a double click).
pointer move 250 200
pointer press 1
pointer release 1
wait_until 5 caption_matches ' W=1 H=1$' || fail "a click did not select one pixel: $(caption)"
[[ "$(caption)" =~ ^選択\(([0-9]+),([0-9]+)\) ]] || fail "caption '$(caption)'"
pic_x=$((250 - BASH_REMATCH[1])) pic_y=$((200 - BASH_REMATCH[2]))

# Columns 51..150, rows 41..100 (the block from picture pixel 50,40 on).
pointer move $((pic_x + 51)) $((pic_y + 41))
pointer press 1
pointer move $((pic_x + 150)) $((pic_y + 100))
pointer release 1
wait_caption "選択(51,41)-(150,100) W=100 H=60"

# A middle drag from inside the selection onto the target, in steps.
pointer move $((pic_x + 80)) $((pic_y + 60))
pointer press 2
for step in 5 15 30 60; do
    pointer move $((pic_x + 80 + step)) $((pic_y + 60))
    sleep 0.1
done
for part in 1 2 3 4; do
    pointer move $((tx + tw * part / 8)) $((ty + th * part / 8))
    sleep 0.2
done
pointer move $((tx + tw / 2)) $((ty + th / 2))
sleep 0.2
pointer release 2
wait_until 10 eval '! kill -0 "$target" 2>/dev/null' || fail "the drop target got no drop"
[ -s "$TOP/got/formats.txt" ] || fail "the drop target got nothing"
grep -qx 'image/png' "$TOP/got/formats.txt" || fail "no image/png: $(cat "$TOP/got/formats.txt")"
[ "$(cat "$TOP/got/name.txt")" = pic.png ] || fail "the file is '$(cat "$TOP/got/name.txt")'"
convert "$TOP/pic.png" -crop 100x60+50+40 +repage "$TOP/block.png"
for got in data.png file.png; do
    [ "$(identify -format %m "$TOP/got/$got")" = PNG ] || fail "$got is not a PNG"
    diff=$(compare -metric AE "$TOP/block.png" "$TOP/got/$got" null: 2>&1)
    [ "$diff" = 0 ] || fail "$got differs from the selected block in $diff pixels"
done
wait_caption "選択(51,41)-(150,100) W=100 H=60"
echo "PASS: the cut-out dragged out under sway"
