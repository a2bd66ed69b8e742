# Sourced by gnome.sh and kde.sh: the pictures the program writes (a file given on the
# command line, the selection copied with Ctrl+C) are pasteable as image/png, offered first,
# within a second, with no window of another program appearing and the keyboard focus
# left with the program; the program ends with its window, and the picture stays pasteable.
expect_pasted() {
    local got
    for _ in $(seq 10); do
        wl-paste -t image/png >"$TOP/pasted.png" 2>/dev/null &&
            [ "$(compare -metric AE "$TOP/pasted.png" "$1" null: 2>&1)" = 0 ] && break
        sleep 0.1
    done
    got=$(compare -metric AE "$TOP/pasted.png" "$1" null: 2>&1)
    [ "$got" = 0 ] || fail "$2: wl-paste gives a picture that differs from $1 ($got)"
    got=$(wl-paste --list-types | grep -m1 '^image/')
    [ "$got" = image/png ] || fail "$2: the first picture format offered is '$got'"
}

solid before.png 40 30 blue
convert -size 321x123 -seed 3 plasma:fractal -depth 8 "PNG24:$TOP/given.png"
clipboard_put_png before.png
mark
QT_QPA_PLATFORM=wayland spawn "$PROGRAM" "$TOP/given.png"
program=${E2E_PIDS[-1]}
wait_caption "選択(1,1)-(321,123) W=321 H=123"
# Where the compositor takes an offer only with an input event's serial (mutter), the
# file's picture is offered again at the first key pressed in the window.
key shift
wait_clipboard_change
focus_kept "$program" "the command-line file"
expect_pasted "$TOP/given.png" "the command-line file"

mark
key ctrl+c
wait_clipboard_change
focus_kept "$program" "Ctrl+C"
case $OFFERED in image/png*) ;; *) fail "Ctrl+C: the clipboard offers '$OFFERED'" ;; esac
expect_pasted "$TOP/given.png" "Ctrl+C"

close_window
closed=$(date +%s.%N)
for _ in $(seq 50); do
    [ -z "$(caption)" ] && break
    sleep 0.1
done
[ -z "$(caption)" ] || fail "the window did not close"
# Nothing is left for the process to serve: the desktop holds the picture (mutter took a
# copy of the offer; on KWin wl-copy serves it), so the process ends with its window.
wait_until 5 sh -c "! kill -0 $program 2>/dev/null" || fail "the process serves on after its window closed"
printf 'the process ended %.1f s after the close\n' "$(awk "BEGIN { print $(date +%s.%N) - $closed }")"
expect_pasted "$TOP/given.png" "after quitting"
echo "PASS: the program's pictures are pasteable as image/png, focus kept, after quitting too"
