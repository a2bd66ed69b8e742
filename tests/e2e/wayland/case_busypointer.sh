# Sourced by session.sh: a copy that runs long (Ctrl+C on a 64-megapixel picture, which
# the program hands to wl-copy as PNG) shows the busy pointer over the window while it
# runs, and the window's own pointer again afterwards; SIGTERM during such a copy ends the
# program within 1 s. The headless seat gets a pointer of its own (seat_pointer) for this.
[ -x "${WL_SEAT_POINTER:-}" ] || skip "the seat pointer program was not built"
mkfifo "$TOP/moves"
spawn sh -c 'exec "$0" 1024 768 <"$1" >"$2"' "$WL_SEAT_POINTER" "$TOP/moves" "$TOP/pointer.log"
exec 5>"$TOP/moves"
wait_until 5 grep -q ready "$TOP/pointer.log" || skip "sway offers no virtual pointer"

noise_png "$TOP/big.png"

QT_QPA_PLATFORM=wayland spawn "$PROGRAM" "$TOP/big.png"
wait_caption "選択(1,1)-(8000,8000) W=8000 H=8000" 30
# The pointer over the picture, which nothing repaints during the copy: what the 40 x 40
# square around it shows changes only with the pointer.
echo "move 500 400" >&5
square() { grim -g "490,390 40x40" "$TOP/$1.png" && convert "$TOP/$1.png" -depth 8 rgb:- | md5sum; }
stable() {
    local a
    a=$(square a) && sleep 0.2 && [ "$a" = "$(square b)" ]
}
wait_until 5 stable || fail "the pointer does not settle over the window"
own=$(square own)
differs() { [ "$(square now)" != "$own" ]; }
same() { [ "$(square now)" = "$own" ]; }

wtype -M ctrl -k c -m ctrl
pressed=$(now_ms)
wait_until 5 differs || fail "no busy pointer during the copy"
echo "busy pointer $(($(now_ms) - pressed)) ms after Ctrl+C"
cp "$TOP/now.png" "$TOP/busy.png"
wait_until 30 same || fail "the window's own pointer did not come back after the copy"
echo "own pointer back $(($(now_ms) - pressed)) ms after Ctrl+C"

# A termination signal in the middle of the next such copy ends the program within 1 s
# all the same, with the settings stored.
: >"$TOP/trimlet.ini"
wtype -M ctrl -k c -m ctrl
wait_until 5 differs || fail "no busy pointer during the second copy"
program=${E2E_PIDS[-1]}
kill -s TERM "$program"
signalled=$(now_ms)
ended() { ! kill -0 "$program" 2>/dev/null; }
wait_until 3 ended || fail "still running 3 s after SIGTERM"
took=$(($(now_ms) - signalled))
echo "ended $took ms after SIGTERM in the middle of the copy"
[ "$took" -le 1000 ] || fail "the copy held the signal up for $took ms"
grep -q '^WindowState=' "$TOP/trimlet.ini" || fail "the settings were not stored"
echo "PASS: the busy pointer over the window during a long copy on Wayland, a signal ends it"
