# Sourced by session.sh: started with nothing on the clipboard, the program presses Print
# Screen once it may read the clipboard; the window is off the screen for that grab, as it
# is before the window is first shown on X11.
# needs: portal
touch "$TOP/before-start"
start=$(date +%s.%N)
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 20
end=$(date +%s.%N)
printf 'start-up to the screen picture: %.2f s\n' "$(awk "BEGIN { print $end - $start }")"
shot emptystart.png
wl-paste -t image/png >"$TOP/got.png" || fail "nothing on the clipboard after start-up"
area=${SCREEN_AREA:-1024x768+0+0}
diff=$(compare -metric AE "$TOP/got.png[$area]" "$TOP/known.png[$area]" null: 2>&1)
[ "$diff" = 0 ] || fail "the start-up picture differs from the screen's picture in $diff pixels"
# No screenshot file stays behind, and no pictures folder made for the portal.
left=$({
    find "$HOME" -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \)
    find /tmp -maxdepth 3 -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \) \
        -user "$(id -u)" 2>/dev/null | grep -v "^$TOP/"
} 2>/dev/null)
[ -z "$left" ] || fail "screenshot files left behind: $left"
[ -d "$HOME/Pictures" ] && fail "a pictures folder was left in the home folder"
echo "PASS: start-up with an empty clipboard shows the screen without the window"
