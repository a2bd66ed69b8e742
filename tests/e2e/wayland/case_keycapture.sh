# Sourced by kde.sh: 画面ｷｬﾌﾟﾁｬ pressed from the keyboard (this session has no screenshots
# to find the button by, so it is reached by its place in the tab order: six Tabs from the
# picture, which has the focus at start). No permission is stored (KDE's portal keeps
# none), so the first capture asks the portal over the shown window, then captures without
# it; the picture must equal the screen, without ~/Pictures (made for the portal and
# removed again) and leaving no file.
# needs: portal
[ -d "$HOME/Pictures" ] && fail "a pictures folder exists before the capture"
printf '[Wait]\nCapture=500\n' >"$TOP/trimlet.ini"
solid first.png 300 200 red
clipboard_put_png first.png
touch "$TOP/before-capture"
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
for _ in 1 2 3 4 5 6; do key Tab; done
key space
start=$(date +%s.%N)
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 30
end=$(date +%s.%N)
printf 'capture at the 0.5 s wait, key press to picture: %.2f s (first capture: the portal started and asked first)\n' \
    "$(awk "BEGIN { print $end - $start }")"
wl-paste -t image/png >"$TOP/got.png" || fail "nothing on the clipboard after the capture"
diff=$(compare -metric AE "$TOP/got.png[$SCREEN_AREA]" "$TOP/known.png[$SCREEN_AREA]" null: 2>&1)
[ "$diff" = 0 ] || fail "the captured picture differs from the screen's picture in $diff pixels"
grep '^trimlet: no capture' "$TOP/program.log" && fail "the capture reported a failure"
left=$(find "$HOME" /tmp -maxdepth 3 -newer "$TOP/before-capture" -type f \( -iname '*.png' -o -iname '*.jpg' \) \
    -user "$(id -u)" 2>/dev/null | grep -v "^$TOP/" | grep -v "^${WL_SHOTS:-/nonexistent}/")
[ -z "$left" ] || fail "screenshot files left behind: $left"
[ -d "$HOME/Pictures" ] && fail "the pictures folder made for the portal was left behind"
echo "PASS: a capture from the keyboard through the portal"
