# Sourced by session.sh: start-up shows the clipboard's picture, and 再読込 reads the
# clipboard again.
solid first.png 300 200 red
solid second.png 120 90 blue
clipboard_put_png first.png
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_title "選択(1,1)-(300,200) W=300 H=200"
find_picture "63,255,255"  # red, highlighted
shot startup.png

clipboard_put_png second.png
press_reload
wait_title "選択(1,1)-(120,90) W=120 H=90"
shot reload.png
echo "PASS: start-up and reload on Wayland"
