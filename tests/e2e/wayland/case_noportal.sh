# Sourced by session.sh.
# needs: no-portal
# No portal on the desktop at all: 画面ｷｬﾌﾟﾁｬ falls back to the compositor's own screen
# grab (grim on this wlroots compositor) and still gives the screen without the window.
start_for_capture
press_capture
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 20
portal_running && fail "a portal answered on a bus that has none"
wl-paste -t image/png >"$TOP/got.png" || fail "nothing on the clipboard after the capture"
diff=$(compare -metric AE "$TOP/got.png" "$TOP/known.png" null: 2>&1)
[ "$diff" = 0 ] || fail "the captured picture differs from the screen's picture in $diff pixels"
echo "PASS: capture without any portal through the compositor's grab"
