# The real program on a real X server: it shows the clipboard's picture fully
# selected, and the screen when the clipboard holds no picture.
source "$(dirname "$0")/lib.sh"
APP=$1

convert -size 640x480 xc:red "$E2E_TMP/pic.png" || fail "no test picture"
clipboard_put_png "$E2E_TMP/pic.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(640,480) W=640 H=480"

# 再読込 after another picture went onto the clipboard.
convert -size 300x200 xc:green "$E2E_TMP/small.png"
clipboard_put_png "$E2E_TMP/small.png"
# The reload button sits at 272..345 in the strip above the picture (red shown as
# red XOR 192,255,255).
top=$(picture_top "$id" "63,255,255") || fail "the picture is not on the screen"
xdotool mousemove --window "$id" 300 $(( top - 16 )) click 1
wait_caption "選択(1,1)-(300,200) W=300 H=200"
kill "${E2E_PIDS[-1]}"

# No picture on the clipboard: the program shows the whole 1280 x 1024 screen.
for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
wait 2>/dev/null
E2E_PIDS=()
printf 'some text' | xclip -selection clipboard -i
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window without a clipboard picture"
wait_caption "選択(1,1)-(1280,1024) W=1280 H=1024"
echo "clipboard e2e passed"
