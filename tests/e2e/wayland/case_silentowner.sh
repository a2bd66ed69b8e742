# Sourced by session.sh: a clipboard owner that stopped answering (it offers image/png and
# image/bmp and never writes a byte into its pipe) holds nothing up: the window is there
# at once, the failed read is given up after 1 s of silence without trying the next form,
# the view stays empty (no screen grab over the owner's clipboard) and the owner keeps
# its clipboard.
[ -x "${WL_SILENT_OWNER:-}" ] || skip "the silent test owner was not built"
any_title() {
    swaymsg -t get_tree -r 2>/dev/null | grep -o '"name": "\(トリムレット\|選択\)[^"]*"' | head -n 1
}

QT_QPA_PLATFORM=wayland spawn sh -c 'exec "$0" >"$1"' "$WL_SILENT_OWNER" "$TOP/owner.log"
owner=${E2E_PIDS[-1]}
for _ in $(seq 50); do
    swaymsg -t get_tree -r | grep -q '"name": "silent owner"' && break
    sleep 0.1
done
# Its offer needs a key pressed in its window.
for _ in $(seq 20); do
    wtype -k a
    sleep 0.2
    grep -q ready "$TOP/owner.log" && break
done
grep -q ready "$TOP/owner.log" || fail "the silent owner made no offer"
wl-paste --list-types | grep -q image/png || fail "the clipboard does not offer image/png"

start=$(now_ms)
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
for _ in $(seq 100); do
    [ -n "$(any_title)" ] && break
    sleep 0.02
done
shown=$(now_ms)
[ -n "$(any_title)" ] || fail "no window"
echo "first window after $((shown - start)) ms"
[ $((shown - start)) -le 2000 ] || fail "the first window took $((shown - start)) ms"
wait_caption "選択(1,1)-(0,0) W=0 H=0" 5
settled=$(now_ms)
echo "view settled $((settled - shown)) ms after the window appeared"
# The focus, then one second of silence: not one second per form offered.
[ $((settled - shown)) -le 1800 ] || fail "the read took $((settled - shown)) ms"
kill -0 "$owner" 2>/dev/null || fail "the silent owner is gone"
wl-paste --list-types | grep -q image/png || fail "the owner's clipboard was overwritten"
echo "PASS: a silent clipboard owner on Wayland"
