# One copy at a time: a second start ends at once without a window and without
# touching the clipboard or the settings, even with a file; a killed first copy does
# not block the next start.
source "$(dirname "$0")/lib.sh"

own_copy "$1"

convert -size 120x80 xc:blue "$E2E_TMP/first.png" || fail "no test picture"
convert -size 90x60 xc:green "$E2E_TMP/second.png" || fail "no test picture"
clipboard_put_png "$E2E_TMP/first.png"
spawn "$APP"
first=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(120,80) W=120 H=80"

# The clipboard now holds a text the second copy must leave alone.
printf 'left alone' | xclip -selection clipboard -i
start=$(date +%s%N)
timeout 10 "$APP" "$E2E_TMP/second.png"
rc=$?
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$rc" -eq 0 ] || fail "the second copy ended with $rc"
echo "second copy ended after ${elapsed_ms} ms"
[ "$(xclip -selection clipboard -o 2>/dev/null)" = "left alone" ] || fail "the second copy changed the clipboard"
[ "$(xdotool search --name '^選択|^トリムレット' | wc -l)" -eq 1 ] || fail "a second window appeared"
[ -e "$INI" ] && fail "the second copy wrote settings"
kill -0 "$first" 2>/dev/null || fail "the first copy ended"
wait_caption "選択(1,1)-(120,80) W=120 H=80"

# Other spellings of the same display are the same desktop.
for spelling in "$DISPLAY.0" "unix$DISPLAY" "unix$DISPLAY.0"; do
    DISPLAY=$spelling timeout 10 "$APP" || fail "the copy on $spelling ended with $?"
    [ "$(xdotool search --name '^選択|^トリムレット' | wc -l)" -eq 1 ] || fail "a second window appeared on $spelling"
done
kill -0 "$first" 2>/dev/null || fail "the first copy ended"

# A first copy that dies without closing leaves no lock behind.
kill -9 "$first"
wait "$first" 2>/dev/null
clipboard_put_png "$E2E_TMP/second.png"
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "a killed copy blocks the next start"
wait_caption "選択(1,1)-(90,60) W=90 H=60"
echo "single instance e2e passed"
