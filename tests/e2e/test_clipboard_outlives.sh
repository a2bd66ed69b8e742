# The clipboard after the program: Ctrl+C puts the cut-out there for other programs;
# after quitting, the picture stays on the clipboard (the process serves it on without
# a window and without the single-instance lock) until another program takes the
# clipboard; the same with a clipboard tool (parcellite) running; and with a clipboard
# manager, which is handed the picture so that the program can end.
source "$(dirname "$0")/lib.sh"
APP=$1

# A picture whose every pixel differs from its neighbours, in 8-bit RGB.
make_picture() {
    convert -size "$1" xc: -channel R -fx '(i*7%256)/255' -channel G -fx '(j*5%256)/255' \
        -channel B -fx "((i+j+$2)%256)/255" +channel -depth 8 -type TrueColor "$3" ||
        fail "no test picture"
}

# True when the clipboard's image/png holds exactly the pixels of $1 (waits up to 5 s).
clipboard_is() {
    for _ in $(seq 50); do
        if xclip -selection clipboard -o -t image/png >"$E2E_TMP/got.png" 2>/dev/null &&
            [ "$(compare -metric AE "$1" "$E2E_TMP/got.png" null: 2>&1)" = "0" ]; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Waits up to $2 seconds for process $1 to end.
ends_within() {
    for _ in $(seq $(( $2 * 10 ))); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Whether the program of window $1 shows more than that window (its menu is open).
menu_open() { [ "$(xdotool search --onlyvisible --pid "$(xdotool getwindowpid "$1")" | wc -l)" -gt 1 ]; }

# Quits through the menu: open "メニュー", Up goes round to the last item "終了".
quit_by_menu() {
    xdotool mousemove --window "$1" 30 8 click 1
    wait_until 5 menu_open "$1" || fail "the menu did not open"
    xdotool key Up Return
}

no_window() {
    for _ in $(seq 50); do
        [ -z "$(xdotool search --onlyvisible --name '^選択' 2>/dev/null)" ] && return 0
        sleep 0.1
    done
    return 1
}

make_picture 300x200 0 "$E2E_TMP/one.png"
make_picture 200x150 50 "$E2E_TMP/two.png"
make_picture 120x90 100 "$E2E_TMP/three.png"

# --- Ctrl+C: a drag selects picture points 50,40 to 150,140; Ctrl+C copies that block.
spawn "$APP" "$E2E_TMP/one.png"
first=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
clipboard_is "$E2E_TMP/one.png" || fail "the command-line file is not on the clipboard"
eval "$(xdotool getwindowgeometry --shell "$id")"
menu_h=$(( HEIGHT - 330 ))
[ "$menu_h" -ge 0 ] || menu_h=20
locate_picture "$id" 60 $(( menu_h + 92 ))
pic_x=$PIC_X pic_y=$PIC_Y
left_drag "$id" $(( pic_x + 50 )) $(( pic_y + 40 )) $(( pic_x + 150 )) $(( pic_y + 140 ))
wait_caption "選択(50,40)-(150,140) W=101 H=101"
xdotool windowfocus --sync "$id" 2>/dev/null || true
xdotool key ctrl+c
# The block whose top-left pixel is column 49, row 39 (counted from 0).
convert "$E2E_TMP/one.png" -crop 101x101+49+39 +repage "$E2E_TMP/block.png"
clipboard_is "$E2E_TMP/block.png" || fail "Ctrl+C did not put the selected block on the clipboard"
xclip -selection clipboard -o -t TARGETS | grep -qx image/bmp || fail "no image/bmp target"
wait_caption "選択(50,40)-(150,140) W=101 H=101"  # the selection stays

# --- Quit: the window goes, the cut-out stays on the clipboard.
quit_by_menu "$id"
no_window || fail "the window did not close"
clipboard_is "$E2E_TMP/block.png" || fail "after quitting the clipboard lost the cut-out"
kill -0 "$first" 2>/dev/null || fail "the process ended and took the clipboard with it"

# --- A new start right away works (the lock is free) and its command-line file takes
# the clipboard, which ends the first process.
spawn "$APP" "$E2E_TMP/two.png"
second=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "a start right after quitting showed no window"
wait_caption "選択(1,1)-(200,150) W=200 H=150"
ends_within "$first" 5 || fail "the first process still runs after the clipboard was taken"
quit_by_menu "$id"
no_window || fail "the second window did not close"
clipboard_is "$E2E_TMP/two.png" || fail "after quitting the clipboard lost the file's picture"

# --- Another program takes the clipboard: the background process ends.
printf 'text' | xclip -selection clipboard -i
ends_within "$second" 5 || fail "xclip -i did not end the background process"

# --- The same with a clipboard tool running.
command -v parcellite >/dev/null || fail "parcellite is missing (make deps installs it)"
spawn parcellite -n
wait_until 10 sh -c 'xlsclients | grep -q parcellite' || fail "parcellite did not connect"
spawn "$APP" "$E2E_TMP/three.png"
third=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no window with parcellite running"
wait_caption "選択(1,1)-(120,90) W=120 H=90"
quit_by_menu "$id"
no_window || fail "the third window did not close"
clipboard_is "$E2E_TMP/three.png" || fail "with parcellite the clipboard lost the picture"
printf 'text' | xclip -selection clipboard -i
ends_within "$third" 5 || fail "with parcellite, taking the clipboard did not end the process"

# --- A clipboard manager runs: it is handed the picture at exit and the program ends.
manager=${FAKE_CLIPBOARD_MANAGER:-}
[ -x "$manager" ] || fail "the test clipboard manager was not built"
"$manager" >"$E2E_TMP/manager.log" &
E2E_PIDS+=($!)
for _ in $(seq 50); do grep -q ready "$E2E_TMP/manager.log" && break; sleep 0.1; done
grep -q ready "$E2E_TMP/manager.log" || fail "the test clipboard manager did not start"
spawn "$APP" "$E2E_TMP/one.png"
fourth=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no window with a clipboard manager running"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
quit_by_menu "$id"
ends_within "$fourth" 5 || fail "with a clipboard manager the program did not end after quitting"
grep -q '^saved ' "$E2E_TMP/manager.log" || fail "the clipboard manager was not handed the picture"
clipboard_is "$E2E_TMP/one.png" || fail "the clipboard manager does not hold the picture"
echo "clipboard outlives e2e passed"
