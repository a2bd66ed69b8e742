# A termination signal ends the program within 1 s whatever it is doing: at any moment
# of start-up (with a clipboard owner that answers and with one that stopped answering),
# during a capture's wait, with the save dialog or the help window open, and while it
# serves its clipboard after the window closed. Where the window had been loaded, the
# settings are stored, and the next start opens its window.
source "$(dirname "$0")/lib.sh"
own_copy "$1"
OWNER=${HOSTILE_CLIPBOARD_OWNER:-}
[ -x "$OWNER" ] || fail "HOSTILE_CLIPBOARD_OWNER does not name the test owner"

settings_stored() {
    grep -q '^Capture=2000$' "$INI" && grep -q '^WindowState=' "$INI" ||
        fail "$1: the settings were not stored: $(tr '\n' ' ' <"$INI")"
}

fresh_settings() { printf '[Wait]\nCapture=2000\n' >"$INI"; }

restart() {
    for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
    wait 2>/dev/null
    E2E_PIDS=()
}

convert -size 300x200 xc:red -depth 8 "$E2E_TMP/pic.png" || fail "no test picture"

# --- start-up, from a few milliseconds in to after the window shows -------------------
for owner in answering silent; do
    for delay in 0.005 0.05 0.2 0.5 0.9 1.3 shown; do
        restart
        if [ $owner = silent ]; then
            spawn "$OWNER" silent >"$E2E_TMP/owner.log"
            for _ in $(seq 50); do grep -q ready "$E2E_TMP/owner.log" && break; sleep 0.1; done
        else
            clipboard_put_png "$E2E_TMP/pic.png"
        fi
        fresh_settings
        spawn "$APP"
        pid=${E2E_PIDS[-1]}
        if [ $delay = shown ]; then
            wait_window '^選択' 10 >/dev/null || fail "$owner owner: no main window"
        else
            sleep $delay
        fi
        term_ends_in_time "$pid" "$owner owner, start-up at $delay"
        [ $delay = shown ] && settings_stored "$owner owner, window shown"
        # Whatever was written is whole: the wait read at start is kept.
        grep -q '^Capture=2000$' "$INI" || fail "$owner owner at $delay: settings broken"
    done
done
restart

# The single-instance lock went with each of them.
clipboard_put_png "$E2E_TMP/pic.png"
fresh_settings
spawn "$APP"
id=$(wait_window '^選択' 10) || fail "the next start shows no window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
top=$(picture_top "$id" "63,255,255") || fail "the picture is not on the screen"

# --- a capture's wait (3 s) --------------------------------------------------------------
xdotool mousemove --window "$id" 220 $((top - 16)) click 1
sleep 1
[ -z "$(xdotool search --onlyvisible --name '^選択' 2>/dev/null)" ] ||
    fail "the window did not leave the screen for the capture"
term_ends_in_time "${E2E_PIDS[-1]}" "the capture's wait"
settings_stored "the capture's wait"

# --- the save dialog and the help window ---------------------------------------------------
for what in dialog help; do
    restart
    clipboard_put_png "$E2E_TMP/pic.png"
    fresh_settings
    spawn "$APP"
    pid=${E2E_PIDS[-1]}
    id=$(wait_window '^選択' 10) || fail "$what: no main window"
    top=$(picture_top "$id" "63,255,255") || fail "$what: the picture is not on the screen"
    if [ $what = dialog ]; then
        xdotool mousemove --window "$id" 20 $((top - 16)) click 1
    else
        xdotool windowfocus --sync "$id" key F1
    fi
    for _ in $(seq 50); do
        [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ] && break
        sleep 0.1
    done
    [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ] ||
        fail "$what: the window did not open"
    term_ends_in_time "$pid" "the $what window open"
    settings_stored "the $what window open"
done

# --- serving the clipboard after the window closed ----------------------------------------
restart
fresh_settings
spawn "$APP" "$E2E_TMP/pic.png"
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 10) || fail "serving: no main window"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
# 終了 from the menu: Up from the open menu goes round to its last item.
xdotool mousemove --window "$id" 30 8 click 1
sleep 0.5
xdotool key Up Return
for _ in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)" ] && break
    sleep 0.1
done
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "serving: the program did not stay to serve its picture"
term_ends_in_time "$pid" "serving the clipboard"
settings_stored "serving the clipboard"
echo "termination at any moment e2e passed"
