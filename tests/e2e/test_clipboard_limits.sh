# Other programs' pictures under the same limits as files: a large picture on the
# clipboard is shown; a picture the program cannot read is a failed load that leaves
# the clipboard alone (no screen capture over it).
source "$(dirname "$0")/lib.sh"
APP=$1

restart() {
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    E2E_PIDS=()
}

big_png "$E2E_TMP/big.png"
clipboard_put_png "$E2E_TMP/big.png"
spawn "$APP"
id=$(wait_window '^選択' 30) || fail "no main window"
wait_caption "選択(1,1)-(8000,8000) W=8000 H=8000" 30
restart

# Bytes that claim to be a PNG and are not: the view stays empty, and the clipboard
# still holds exactly those bytes afterwards.
printf 'not really a picture' > "$E2E_TMP/broken.png"
clipboard_put_png "$E2E_TMP/broken.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window with an unreadable clipboard picture"
sleep 1
name=$(xdotool getwindowname "$id")
[ "$name" = "選択(1,1)-(0,0) W=0 H=0" ] || fail "an unreadable picture gave '$name'"
xclip -selection clipboard -t image/png -o > "$E2E_TMP/after.png" 2>/dev/null
cmp -s "$E2E_TMP/broken.png" "$E2E_TMP/after.png" || fail "the clipboard was overwritten"
echo "clipboard limits e2e passed"
