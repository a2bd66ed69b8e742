# Sourced by session.sh.
# needs: xwayland
# The program on its X11 platform inside the Wayland session: an X11 screen grab would see
# Xwayland's windows only, so 画面ｷｬﾌﾟﾁｬ must go through the portal here too and give the
# whole screen (the known picture), without the program's window.
command -v xclip >/dev/null || skip "xclip is not installed"
printf '[Wait]\nCapture=500\n' >"$TOP/trimlet.ini"
solid first.png 300 200 red
spawn xclip -quiet -selection clipboard -t image/png -i first.png
for _ in $(seq 50); do
    xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/png && break
    sleep 0.1
done
# The portal is started beforehand here: this case is about the way the capture takes.
dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.StartServiceByName string:org.freedesktop.portal.Desktop uint32:0 \
    >/dev/null || fail "the portal cannot be started"
QT_QPA_PLATFORM=xcb spawn "$PROGRAM"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
find_picture "63,255,255"
press_capture
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 20
shot captured.png
xclip -selection clipboard -t image/png -o >"$TOP/got.png" 2>/dev/null ||
    fail "nothing on the X clipboard after the capture"
diff=$(compare -metric AE "$TOP/got.png" "$TOP/known.png" null: 2>&1)
[ "$diff" = 0 ] || fail "the captured picture differs from the screen's picture in $diff pixels"
[ -e /tmp/out.png ] && fail "the portal's screenshot file was left behind"
echo "PASS: capture from the X11 platform inside the Wayland session"
