#!/bin/bash
# Runs one end-to-end case against the built program inside a headless sway session:
#   session.sh <program> <case script>
# sway refuses to run as root, so as root the script hands itself to the user "nobody",
# with copies of the program and the scripts in a private folder. Inside, it starts a
# private session bus, sway (headless backend, one 1024x768 output showing a known
# picture), pipewire, and makes the desktop portal activatable on that bus (nothing starts
# it before the program asks). The case script is then sourced; see the helpers below.
# A case with the line "# needs: xwayland" gets Xwayland (and DISPLAY) as well.
# Exit 77 (a skip) with a message wherever the machine cannot run the session.
set -u
source "$(dirname "$0")/helpers.sh"  # and common.sh

if [ -z "${WL_INNER:-}" ]; then
    for tool in sway swaybg grim wl-copy wl-paste wtype dbus-run-session pipewire convert compare; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (make deps installs it)"
    done
    [ -x /usr/libexec/xdg-desktop-portal ] && [ -x /usr/libexec/xdg-desktop-portal-wlr ] ||
        skip "xdg-desktop-portal or its wlr backend is not installed"
    top=$(mktemp -d "${TMPDIR:-/tmp}/trimlet-wl.XXXXXX") || skip "no temporary folder"
    cp "$1" "$top/trimlet" && cp "$(dirname "$0")"/*.sh "$(dirname "$0")"/../common.sh "$top/" ||
        skip "cannot copy the program"
    # "# needs: no-portal": a session bus that can start nothing, as on a desktop without
    # any portal installed.
    bus_config=
    if grep -q '^# needs: no-portal' "$2"; then
        mkdir "$top/no-services"
        open_bus_config session unix:tmpdir=/tmp "$top/no-services" >"$top/bus.conf"
        bus_config="--config-file=$top/bus.conf"
    fi
    enter_session "$top" session.sh "$2" "$bus_config" \
        WL_XWAYLAND="$(grep -q '^# needs: xwayland' "$2" && echo enable || echo disable)" \
        WL_SILENT_OWNER="${WAYLAND_SILENT_OWNER:-}" WL_DROP_TARGET="${DROP_TARGET:-}" \
        WL_SEAT_POINTER="${SEAT_POINTER:-}"
fi

# --- inside: the unprivileged user on a private session bus ------------------------------
PROGRAM=$1
TOP=$WL_TOP
mkdir -p "$HOME" "$TOP/run" && chmod 700 "$TOP/run"
export XDG_RUNTIME_DIR=$TOP/run
export WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman
export XDG_CURRENT_DESKTOP=sway XDG_SESSION_TYPE=wayland
unset DISPLAY

trap stop_spawned EXIT
on_failure() { shot "$TOP/failure.png"; }

# The known picture the screen shows: no two neighbouring pixels alike.
convert -size 1024x768 -seed 7 plasma:fractal -depth 8 "$TOP/known.png" || skip "convert failed"
cat >"$TOP/sway.conf" <<CONF
output HEADLESS-1 resolution 1024x768 position 0 0 bg $TOP/known.png center
xwayland $WL_XWAYLAND
focus_follows_mouse no
CONF
spawn sway -c "$TOP/sway.conf" >"$TOP/sway.log" 2>&1
for _ in $(seq 100); do
    WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" 2>/dev/null | grep -m1 '^wayland-[0-9]*$')
    [ -n "$WAYLAND_DISPLAY" ] && break
    sleep 0.1
done
[ -n "$WAYLAND_DISPLAY" ] || { tail -5 "$TOP/sway.log"; skip "sway did not start here"; }
export WAYLAND_DISPLAY
export SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1)
for _ in $(seq 50); do
    [ -z "$SWAYSOCK" ] && SWAYSOCK=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    [ -n "$SWAYSOCK" ] && swaymsg -t get_outputs >/dev/null 2>&1 && break
    sleep 0.1
done
export SWAYSOCK
if [ "$WL_XWAYLAND" = enable ]; then
    for _ in $(seq 100); do
        DISPLAY=$(ls /tmp/.X11-unix 2>/dev/null | sed -n 's/^X//p' | sort -n | while read -r n; do
            [ -O "/tmp/.X11-unix/X$n" ] && echo ":$n"; done | tail -n 1)
        [ -n "$DISPLAY" ] && break
        sleep 0.1
    done
    [ -n "$DISPLAY" ] || skip "Xwayland did not start"
    export DISPLAY
fi
# PipeWire for the portal, without its D-Bus modules (realtime priority, portal watch):
# those talk to the bus while the portal itself starts and connects to PipeWire, and the
# two can wait on each other until a time-out.
awk '/\{ name = libpipewire-module-(rt|portal)$/ { skip = 1 }
     skip && /^    \}/ { skip = 0; next }
     !skip' /usr/share/pipewire/pipewire.conf >"$TOP/pipewire.conf"
spawn pipewire -c "$TOP/pipewire.conf" >"$TOP/pipewire.log" 2>&1
for _ in $(seq 50); do
    [ -S "$XDG_RUNTIME_DIR/pipewire-0" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/pipewire-0" ] || { cat "$TOP/pipewire.log"; skip "pipewire did not start"; }
# The headless seat has no keyboard: a virtual one held for the whole session gives it one
# (it presses nothing until long after the case is over).
spawn wtype -s 600000 -k F24
for _ in $(seq 50); do
    swaymsg -t get_seats -r | grep -q '"capabilities": [1-9]' && break
    sleep 0.1
done
# Services the bus starts later (the portal) get this session's display.
dbus-update-activation-environment WAYLAND_DISPLAY XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR \
    XDG_SESSION_TYPE ${DISPLAY:+DISPLAY} || fail "cannot set the bus's activation environment"
# Wait until the background is on the screen.
for _ in $(seq 50); do
    grim "$TOP/bg.png" 2>/dev/null &&
        [ "$(compare -metric AE "$TOP/bg.png" "$TOP/known.png" null: 2>&1)" = 0 ] && break
    sleep 0.1
done

# --- helpers for the cases -----------------------------------------------------------------

# A screenshot of the whole session; kept in $TRIMLET_WAYLAND_SHOTS when that is set.
shot() {
    grim "$1" 2>/dev/null || return 1
    [ -n "$WL_SHOTS" ] && cp "$1" "$WL_SHOTS/$(basename "$CASE" .sh)-$(basename "$1")" 2>/dev/null
    return 0
}

# The program's window title as sway reports it (empty when there is no such window).
caption() {
    swaymsg -t get_tree -r 2>/dev/null | grep -o '"name": "選択[^"]*"' | head -n 1 |
        sed 's/^"name": "//; s/"$//'
}




# Finds where the view shows a picture of colour $1 ("r,g,b" as shown, highlight included):
# sets PIC_X, PIC_Y (screen coordinates of the picture's top-left pixel).
find_picture() {
    local colour=$1 row
    shot "$TOP/find.png" || fail "grim failed"
    for x in 4 8 16 32; do
        row=$(convert "$TOP/find.png" -crop "1x768+$x+0" +repage -depth 8 txt:- |
            grep -m1 "srgb($colour)" | cut -d, -f2 | cut -d: -f1)
        [ -n "$row" ] && break
    done
    [ -n "$row" ] || fail "no picture of colour $colour on the screen"
    PIC_Y=$row
    PIC_X=$(convert "$TOP/find.png" -crop "1024x1+0+$((row + 1))" +repage -depth 8 txt:- |
        grep -m1 "srgb($colour)" | cut -d, -f1)
}

# Types a key as the other sessions' keyboards name it ("Tab", "ctrl+Left").
key() {
    case $1 in
        *+*) wtype -M "${1%%+*}" -k "${1#*+}" -m "${1%%+*}" ;;
        *) wtype -k "$1" ;;
    esac
}

# The headless seat has no pointer, so buttons are pressed from the keyboard: Tab until
# the button's frame at screen column $1 (row: the strip's middle, 16 rows above the
# picture's top) shows the focus colour, then Space.
press_button() {
    local x=$1 y=$((PIC_Y - 16)) pixel
    for _ in $(seq 14); do
        grim -g "$x,$y 1x1" "$TOP/px.png" 2>/dev/null
        pixel=$(convert "$TOP/px.png" -depth 8 txt:- | tail -n 1)
        case $pixel in *"(38,112,158)"*)
            wtype -k space
            return 0
            ;;
        esac
        wtype -k Tab
        sleep 0.1
    done
    fail "could not move the focus to the button at column $x"
}
# 画面ｷｬﾌﾟﾁｬ spans the view's columns 200-272 (left frame at 200), 再読込 272-344
# (right frame at 344).
press_capture() { press_button $((PIC_X + 200)); }

# The capture cases' start: a 0.5 s wait, a 300 x 200 red picture on the clipboard, the
# program started on it and the picture found on the screen.
start_for_capture() {
    printf '[Wait]\nCapture=500\n' >"$TOP/trimlet.ini"
    solid first.png 300 200 red
    clipboard_put_png first.png
    QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
    wait_caption "選択(1,1)-(300,200) W=300 H=200"
    find_picture "63,255,255"
}
press_reload() { press_button $((PIC_X + 344)); }

# Closes the program's window as its close box would.
close_window() { swaymsg '[title="^選択"] kill' >/dev/null || fail "cannot close the window"; }

CASE=$2
cd "$TOP" || exit 1
source "$CASE"
