# A picture file named on the command line: shown at start, and left on the clipboard
# for other programs while the program runs. --help and --version answer at once, even
# beside a running copy, without a display, a window, the clipboard or the settings.
source "$(dirname "$0")/lib.sh"
own_copy "$1"

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

# The copy started last still runs: an answer after the single-instance check would be
# no answer at all.
printf 'left alone' | xclip -selection clipboard -i
ini_before=$(stat -c %Y.%s "$INI" 2>/dev/null || echo none)
for option in --help --version; do
    for display in "$DISPLAY" ""; do
        start=$(date +%s%N)
        # (xcb: an application object would need the display and end the program.)
        out=$(DISPLAY=$display QT_QPA_PLATFORM=xcb timeout 5 "$APP" "$option")
        rc=$?
        elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
        [ "$rc" -eq 0 ] || fail "$option (DISPLAY='$display') ended with $rc"
        echo "$option (DISPLAY='$display') answered in ${elapsed_ms} ms"
        case $option in
        --help)
            grep -q '^使い方: trimlet \[画像ファイル\]$' <<<"$out" || fail "no usage line: $out"
            grep -qxF "  $INI" <<<"$out" || fail "the usage does not name $INI: $out"
            ;;
        --version)
            grep -qx 'トリムレット (trimlet) [0-9]*\.[0-9]*\.[0-9]*' <<<"$out" ||
                fail "no version line: $out"
            ;;
        esac
    done
done
[ "$(xclip -selection clipboard -o 2>/dev/null)" = "left alone" ] || fail "an option changed the clipboard"
[ "$(stat -c %Y.%s "$INI" 2>/dev/null || echo none)" = "$ini_before" ] || fail "an option touched the settings"
[ "$(xdotool search --onlyvisible --name '^選択|^トリムレット' | wc -l)" -eq 1 ] || fail "an option opened a window"

# A file named like an option is a file.
convert -size 24x12 xc:red "png:$E2E_TMP/--help" || fail "no test picture"
kill "${E2E_PIDS[-1]}"
wait "${E2E_PIDS[-1]}" 2>/dev/null
(cd "$E2E_TMP" && exec "$APP" ./--help) &
E2E_PIDS+=($!)
id=$(wait_window '^選択' 15) || fail "no main window for ./--help"
wait_caption "選択(1,1)-(24,12) W=24 H=12"
echo "command-line e2e passed"
