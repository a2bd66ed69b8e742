# Sourced by session.sh: started with nothing on the clipboard, the program presses Print
# Screen once it may read the clipboard; the window is off the screen for that grab, as it
# is before the window is first shown on X11.
start=$(date +%s.%N)
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 20
end=$(date +%s.%N)
printf 'start-up to the screen picture: %.2f s\n' "$(awk "BEGIN { print $end - $start }")"
shot emptystart.png
wl-paste -t image/png >"$TOP/got.png" || fail "nothing on the clipboard after start-up"
diff=$(compare -metric AE "$TOP/got.png" "$TOP/known.png" null: 2>&1)
[ "$diff" = 0 ] || fail "the start-up picture differs from the screen's picture in $diff pixels"
echo "PASS: start-up with an empty clipboard shows the screen without the window"
