# Sourced by session.sh: a file given on the command line is shown at start and stays
# pasteable by other Wayland clients (wl-paste) while the program runs.
solid before.png 40 30 blue
convert -size 321x123 -seed 3 plasma:fractal -depth 8 "PNG24:$TOP/given file.png"
clipboard_put_png before.png
QT_QPA_PLATFORM=wayland spawn "$PROGRAM" "$TOP/given file.png"
wait_caption "選択(1,1)-(321,123) W=321 H=123"
shot cmdline.png
# The clipboard now belongs to the program (wl-copy has been told to stop serving).
for _ in $(seq 30); do
    wl-paste -t image/png >"$TOP/pasted.png" 2>/dev/null && [ -s "$TOP/pasted.png" ] && break
    sleep 0.1
done
diff=$(compare -metric AE "$TOP/pasted.png" "$TOP/given file.png" null: 2>&1)
[ "$diff" = 0 ] || fail "wl-paste gives a picture that differs from the file ($diff)"

# A second start on the same Wayland display ends at once and leaves the clipboard alone.
solid other.png 10 10 green
QT_QPA_PLATFORM=wayland timeout 10 "$PROGRAM" "$TOP/other.png" || fail "the second start did not end by itself"
wl-paste -t image/png | cmp -s - "$TOP/pasted.png" || fail "the second start changed the clipboard"
echo "PASS: command-line file shown and pasteable with wl-paste; one instance per display"
