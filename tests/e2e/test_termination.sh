# However the program is ended (a termination signal at logout, Ctrl+C in a terminal, a
# hang-up, or its window destroyed by the window system), the shutdown runs: the
# settings are stored, the process ends, and the next start works at once.
source "$(dirname "$0")/lib.sh"

own_copy "$1"

wait_gone() {
    for _ in $(seq 100); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

for how in TERM INT HUP windowclose; do
    rm -f "$INI"
    printf '[Wait]\nCapture=2000\n[Window]\nLeft=1500\nTop=1200\nWidth=6990\nHeight=6000\n' > "$INI"
    spawn "$APP"
    pid=${E2E_PIDS[-1]}
    id=$(wait_window '^選択' 15) || fail "$how: no main window"
    xdotool windowmove "$id" 150 120
    sleep 0.5
    if [ "$how" = windowclose ]; then
        xdotool windowclose "$id"
    else
        kill -s "$how" "$pid"
    fi
    wait_gone "$pid" || fail "$how: the program still runs"
    grep -q '^Capture=2000$' "$INI" || fail "$how: the wait was not stored: $(cat "$INI")"
    grep -q '^WindowState= 0$' "$INI" || fail "$how: the placement was not stored: $(cat "$INI")"
    grep -q '^Left= 2250$' "$INI" || fail "$how: the moved position was not stored: $(cat "$INI")"
    # The lock went with the process: a new start opens its window.
    spawn "$APP"
    pid=${E2E_PIDS[-1]}
    wait_window '^選択' 15 >/dev/null || fail "$how: the next start shows no window"
    kill -s TERM "$pid"
    wait_gone "$pid" || fail "$how: the next start did not end"
    echo "$how: settings stored, process ended"
done
echo "termination e2e passed"
