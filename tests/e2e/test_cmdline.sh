# A picture file named on the command line: shown at start, and left on the clipboard
# for other programs while the program runs.
source "$(dirname "$0")/lib.sh"
APP=$1

convert -size 64x32 xc:orange "$E2E_TMP/my pic.png" || fail "no test picture"
convert -size 40x30 xc:blue "$E2E_TMP/start.png"
clipboard_put_png "$E2E_TMP/start.png"

# A path with a blank, given without quotes: two arguments that form one path.
spawn "$APP" $E2E_TMP/my pic.png
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(64,32) W=64 H=32"
xclip -selection clipboard -t image/png -o > "$E2E_TMP/out.png" || fail "nothing on the clipboard"
[ "$(identify -format '%wx%h' "$E2E_TMP/out.png")" = "64x32" ] || fail "the clipboard does not hold the file's picture"
[ "$(convert "$E2E_TMP/out.png" -format '%[pixel:p{10,10}]' info:)" = "srgb(255,165,0)" ] ||
    fail "the clipboard picture has other pixels"
kill "${E2E_PIDS[-1]}"
wait "${E2E_PIDS[-1]}" 2>/dev/null

# A command line that is no loadable file: the clipboard's picture is shown.
clipboard_put_png "$E2E_TMP/start.png"
spawn "$APP" "$E2E_TMP/missing.png"
id=$(wait_window '^選択' 15) || fail "no main window"
wait_caption "選択(1,1)-(40,30) W=40 H=30"
echo "command-line e2e passed"
