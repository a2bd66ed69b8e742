# Sourced by session.sh: start-up shows the clipboard's picture with the keyboard focus on
# it, and 再読込 reads the clipboard again.
# A stored placement: the position cannot be applied on Wayland and must survive the run.
printf '[Window]\nLeft=1500\nTop=1200\nWidth=7000\nHeight=6000\nWindowState=0\n' >"$TOP/trimlet.ini"
solid first.png 300 200 red
solid second.png 120 90 blue
clipboard_put_png first.png
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
find_picture "63,255,255"  # red, highlighted
shot startup.png
# The keys edit the picture from the start: Ctrl+Left moves the right edge in.
key ctrl+Left
wait_caption "選択(1,1)-(299,200) W=299 H=200" 5

clipboard_put_png second.png
press_reload
wait_caption "選択(1,1)-(120,90) W=120 H=90"
shot reload.png

# Closing writes size and state, and keeps the stored position.
close_window
for _ in $(seq 50); do
    grep -q '^Capture=' "$TOP/trimlet.ini" && break
    sleep 0.1
done
grep -qx 'Left=1500' "$TOP/trimlet.ini" && grep -qx 'Top=1200' "$TOP/trimlet.ini" ||
    fail "the stored position was overwritten: $(tr '\n' ' ' <"$TOP/trimlet.ini")"
grep -q '^Width= [1-9]' "$TOP/trimlet.ini" && grep -qx 'WindowState= 0' "$TOP/trimlet.ini" ||
    fail "size or state not stored: $(tr '\n' ' ' <"$TOP/trimlet.ini")"
echo "PASS: start-up, reload and settings on Wayland"
