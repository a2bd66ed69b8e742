# The main window under a real window manager ($WM: openbox, xfwm4, fluxbox, or the
# compositing mutter and kwin_x11),
# sourced by test_wm_*.sh after lib.sh: maximising fills the work area; a maximised
# close stores the normal rectangle and the maximised state, and restoring after the
# next start gives exactly that rectangle; a minimised close stores the normal
# rectangle and the normal state; five start/close cycles never drift; dragging the
# borders stops at 400 x 240 and at the screen; the help and version windows open from
# the menu modal, centred over the main window and above it, with a close box and no
# way to maximise or minimise them; three captures in a row leave the window exactly where
# it was. Outer rectangles are read as the client's plus
# _NET_FRAME_EXTENTS.

command -v "$WM" > /dev/null || { echo "SKIP: $WM is not installed"; exit 77; }
command -v wmctrl > /dev/null || { echo "SKIP: wmctrl is not installed"; exit 77; }

mkdir -p "$E2E_TMP/bin" "$E2E_TMP/home"
cp "$APP_BUILT" "$E2E_TMP/bin/trimlet" || fail "cannot copy the program"
APP=$E2E_TMP/bin/trimlet
INI=$E2E_TMP/bin/trimlet.ini
export HOME=$E2E_TMP/home XDG_CONFIG_HOME=$E2E_TMP/home/.config NO_AT_BRIDGE=1

case $WM in
    openbox) spawn openbox --sm-disable ;;
    xfwm4)
        # Its settings come over a session bus of our own, ended with the test.
        command -v dbus-daemon > /dev/null || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
        read -r DBUS_SESSION_BUS_ADDRESS BUS_PID < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d' ')
        export DBUS_SESSION_BUS_ADDRESS
        E2E_PIDS+=("$BUS_PID")
        spawn xfwm4 --compositor=off --sm-client-disable ;;
    mutter | kwin_x11)
        command -v dbus-daemon > /dev/null || { echo "SKIP: dbus-daemon is not installed"; exit 77; }
        read -r DBUS_SESSION_BUS_ADDRESS BUS_PID < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d' ')
        export DBUS_SESSION_BUS_ADDRESS
        E2E_PIDS+=("$BUS_PID")
        if [ "$WM" = mutter ]; then spawn mutter --x11 --replace --sm-disable
        else spawn kwin_x11 --replace; fi
        # (Both composite: a window mapped is drawn a frame later.)
        ;;
    fluxbox)
        mkdir -p "$HOME/.fluxbox"
        printf 'background: none\n' > "$HOME/.fluxbox/overlay"
        printf 'session.styleOverlay: %s\nsession.screen0.toolbar.visible: false\n' \
            "$HOME/.fluxbox/overlay" > "$HOME/.fluxbox/init"
        spawn fluxbox -rc "$HOME/.fluxbox/init" ;;
esac
for _ in $(seq 100); do
    wmctrl -m > /dev/null 2>&1 && break
    sleep 0.1
done
wmctrl -m > /dev/null 2>&1 || fail "$WM did not start"
sleep 0.5

# The work area and the screen, from the root window.
read -r SCR_W SCR_H < <(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p')
read -r WA_X WA_Y WA_W WA_H < <(xprop -root _NET_WORKAREA | grep '=' | sed 's/.*= //; s/,//g' | cut -d' ' -f1-4)
# Without an announced work area (kwin_x11 without a panel), the screen.
[ -n "${WA_H:-}" ] || { WA_X=0 WA_Y=0 WA_W=$SCR_W WA_H=$SCR_H; }

# Client rectangle "x y w h" of window $1 on the root window. (xwininfo, not xdotool:
# xdotool counts a reparented window's offset in its frame twice.)
client() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /^ *Width:/ {w = $NF} /^ *Height:/ {h = $NF} END {print x, y, w, h}'
}

# Outer rectangle "x y w h" of client window $1: the client plus _NET_FRAME_EXTENTS.
outer() {
    local l r t b x y w h
    read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    read -r x y w h < <(client "$1")
    echo "$((x - ${l:-0})) $((y - ${t:-0})) $((w + ${l:-0} + ${r:-0})) $((h + ${t:-0} + ${b:-0}))"
}

# Waits up to 5 s for the outer rectangle of $1 to be $2.
outer_is() {
    local got=""
    for _ in $(seq 50); do
        got=$(outer "$1")
        [ "$got" = "$2" ] && return 0
        sleep 0.1
    done
    fail "$3: outer rectangle '$got', expected '$2'"
}

state_has() {
    xprop -id "$1" _NET_WM_STATE | grep -q "$2"
}

APP_PID=""
start_app() {
    "$APP" > /dev/null 2>&1 &
    APP_PID=$!
    E2E_PIDS+=("$APP_PID")
    ID=$(wait_window '^選択' 15) || fail "no main window"
    sleep 0.5
}

close_app() {
    wmctrl -i -c "$ID"
    # The window goes at once; the process then serves its clipboard picture until
    # another program takes the clipboard.
    release_and_wait_exit "$APP_PID" || fail "the program did not end on close"
}

ini() { grep -i "^$1=" "$INI" | cut -d= -f2-; }
stored_is() {
    local got
    got="$(ini Left)|$(ini Top)|$(ini Width)|$(ini Height)|$(ini WindowState)"
    [ "$got" = "$1" ] || fail "$2: stored '$got', expected '$1'"
}

# The normal rectangle: 600 x 450 at 200, 150 (outside, pixels; 15 twips each).
NORMAL="200 150 600 450"
NORMAL_INI=" 3000| 2250| 9000| 6750"
printf '[Window]\nLeft= 3000\nTop= 2250\nWidth= 9000\nHeight= 6750\nWindowState= 0\n' > "$INI"

# A known picture on the clipboard (the start shows it), and the shortest capture wait.
convert -size 40x30 xc:blue "$E2E_TMP/start.png"
clipboard_put_png "$E2E_TMP/start.png"
printf '[Wait]\nCapture=500\n' >> "$INI"
start_app
outer_is "$ID" "$NORMAL" "start in the normal state"

# Three captures: each time the window leaves the screen and comes back exactly where it
# was. (画面ｷｬﾌﾟﾁｬ sits at 200..273 in the strip 16 rows above the blue picture.)
top=$(picture_top "$ID" "192,255,0") || fail "the picture is not on the screen"
for i in 1 2 3; do
    clicked=$(date +%s.%N)
    xdotool mousemove --window "$ID" 236 $((top - 16)) click 1
    for _ in $(seq 50); do
        xwininfo -id "$ID" | grep -q IsUnMapped && break
        sleep 0.05
    done
    for _ in $(seq 100); do
        xwininfo -id "$ID" | grep -q IsViewable && break
        sleep 0.05
    done
    wait_caption "選択(1,1)-($SCR_W,$SCR_H) W=$SCR_W H=$SCR_H" 20
    # (For the record; later captures find the caption already there.)
    [ "$i" = 1 ] && printf 'capture at the 0.5 s wait under %s, click to picture: %.2f s\n' \
        "$WM" "$(awk "BEGIN { print $(date +%s.%N) - $clicked }")"
    outer_is "$ID" "$NORMAL" "after capture $i"
done

# Maximised: exactly the work area.
wmctrl -i -r "$ID" -b add,maximized_vert,maximized_horz
outer_is "$ID" "$WA_X $WA_Y $WA_W $WA_H" "maximised"
close_app
stored_is "$NORMAL_INI| 2" "maximised close"

# It starts maximised; restored, it has the normal rectangle.
start_app
outer_is "$ID" "$WA_X $WA_Y $WA_W $WA_H" "maximised start"
state_has "$ID" _NET_WM_STATE_MAXIMIZED_VERT || fail "not maximised at start"
wmctrl -i -r "$ID" -b remove,maximized_vert,maximized_horz
outer_is "$ID" "$NORMAL" "restored after a maximised start"

# Minimised close: the normal rectangle, stored as normal.
xdotool windowminimize "$ID"
for _ in $(seq 50); do state_has "$ID" _NET_WM_STATE_HIDDEN && break; sleep 0.1; done
close_app
stored_is "$NORMAL_INI|0" "minimised close"  # written as "0", not " 0"

# Five start/close cycles: no drift.
for i in 1 2 3 4 5; do
    start_app
    outer_is "$ID" "$NORMAL" "cycle $i"
    close_app
    stored_is "$NORMAL_INI| 0" "cycle $i"
done

# Opens the menu item $1 places above the menu's end (the keyboard wraps round to the
# last item), by a click on the menu bar.
open_from_menu() {
    xdotool mousemove --window "$ID" 25 10 click 1
    sleep 0.5
    for _ in $(seq "$1"); do xdotool key Up; sleep 0.1; done
    xdotool key Return
}

# Position of window $1 in _NET_CLIENT_LIST_STACKING (bottom first).
stacking_index() {
    local i=0 w
    for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
        i=$((i + 1))
        [ $((w)) -eq "$1" ] && { echo "$i"; return 0; }
    done
    echo 0
}

# The auxiliary window captioned $1 ($2 Up presses from the menu's end), over the main
# window at the normal rectangle; closed by the Escape key ($3 = key) or its close box.
aux_window_checks() {
    local name=$1 aux acts caption before after mx my mw mh x y w h ink
    caption=$(xdotool getwindowname "$ID")
    open_from_menu "$2"
    aux=$(wait_window "^$name\$" 10) || fail "$name: no window from the menu"
    sleep 0.5
    xprop -id "$aux" WM_TRANSIENT_FOR | grep -qi "$(printf '0x%x' "$ID")\b" ||
        fail "$name: not transient for the main window"
    state_has "$aux" _NET_WM_STATE_MODAL || fail "$name: not modal"
    [ "$(stacking_index "$aux")" -gt "$(stacking_index "$ID")" ] ||
        fail "$name: below the main window"
    read -r mx my mw mh < <(outer "$ID")
    read -r x y w h < <(outer "$aux")
    # Centred: the frames' middles meet within one title bar (the toolkit places a
    # dialog before the window manager has framed it, from the main window's frame).
    dx=$(((2 * x + w) - (2 * mx + mw))); dy=$(((2 * y + h) - (2 * my + mh)))
    [ "${dx#-}" -le 48 ] && [ "${dy#-}" -le 48 ] ||
        fail "$name: at $x $y $w $h, not centred over the main window at $mx $my $mw $mh"
    # What the window manager lets the user do with it.
    acts=$(xprop -id "$aux" _NET_WM_ALLOWED_ACTIONS)
    echo "$acts" | grep -q _NET_WM_ACTION_CLOSE || fail "$name: no close box ($acts)"
    if echo "$acts" | grep -qE '_NET_WM_ACTION_(MAXIMIZE|MINIMIZE)'; then
        fail "$name: can be maximised or minimised ($acts)"
    fi
    before=$(outer "$aux")
    wmctrl -i -r "$aux" -b add,maximized_vert,maximized_horz
    sleep 0.5
    after=$(outer "$aux")
    [ "$after" = "$before" ] || fail "$name: a maximise request changed it from $before to $after"
    # The Japanese text is drawn (the Gothic the windows are set in covers Japanese).
    fc-list :lang=ja family | grep -q IPAPGothic || fail "no Japanese Gothic installed"
    import -window "$aux" "$E2E_TMP/aux.png" || fail "$name: no screenshot"
    ink=$(convert "$E2E_TMP/aux.png" -colorspace gray -threshold 40% -format '%[fx:int(w*h*(1-mean))]' info:)
    [ "$ink" -ge 150 ] || fail "$name: only $ink dark pixels, no text"
    # Modal: a drag on the main window's picture does not reach it.
    left_drag "$ID" 60 120 90 150
    sleep 0.3
    [ "$(xdotool getwindowname "$ID")" = "$caption" ] || fail "$name: the main window took a drag while it was open"
    # TRIMLET_SHOTS: a folder to keep the screenshots in, for a look by eye.
    if [ -n "${TRIMLET_SHOTS:-}" ]; then import -window root "$TRIMLET_SHOTS/$WM-$2.png"; fi
    # The help window by the Escape key (it holds the keyboard), the version window by
    # its close box.
    if [ "$3" = key ]; then xdotool key Escape; else wmctrl -i -c "$aux"; fi
    for _ in $(seq 50); do
        xdotool search --onlyvisible --name "^$name\$" > /dev/null 2>&1 || break
        sleep 0.1
    done
    xdotool search --onlyvisible --name "^$name\$" > /dev/null 2>&1 && fail "$name: the close box did not close it"
    return 0
}

# The help window (three items above the menu's end) and the version window (two).
start_app
aux_window_checks つかいかた 3 key
aux_window_checks トリムレット 2 box
close_app

# Border drags are bounded: at least 400 x 240 outside, at most the screen.
start_app
xdotool windowsize "$ID" 100 100
outer_is "$ID" "200 150 400 240" "dragged small"
xdotool windowmove "$ID" 0 0
sleep 0.3
xdotool windowsize "$ID" $((SCR_W + 500)) $((SCR_H + 500))
sleep 1
read -r _ _ W H < <(outer "$ID")
[ "$W" -le "$SCR_W" ] && [ "$H" -le "$SCR_H" ] || fail "dragged large: outer $W x $H beyond the screen $SCR_W x $SCR_H"
close_app
echo "$WM e2e passed"
