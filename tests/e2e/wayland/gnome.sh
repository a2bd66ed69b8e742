#!/bin/bash
# Runs one end-to-end case against the built program inside a headless GNOME Shell
# (Wayland) session:  gnome.sh <program> <case script> <desktop_keys>
# As root the script hands itself to the user "nobody", as session.sh does. Inside: a
# stand-in system bus (the shell will not start without one), a private session bus,
# gnome-shell with one 1024x768 virtual monitor showing a known picture, a test extension
# (unsafe mode for Eval and screenshots, the top bar hidden, every new window and focus
# change recorded) and mutter's remote-desktop keyboard (the headless seat has none).
# The screenshot permission is stored unless the case has "# needs: no-screenshot-permission".
# Exit 77 (a skip) with a message wherever the machine cannot run the session.
set -u
source "$(dirname "$0")/helpers.sh"  # and common.sh

if [ -z "${WL_INNER:-}" ]; then
    for tool in gnome-shell gdbus gsettings dbus-daemon dbus-run-session wl-copy wl-paste convert compare; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (make deps installs it)"
    done
    [ -x /usr/libexec/xdg-desktop-portal ] && [ -x /usr/libexec/xdg-desktop-portal-gnome ] ||
        skip "xdg-desktop-portal or its GNOME backend is not installed"
    [ -x "${3:-}" ] || skip "no desktop_keys helper given"
    top=$(mktemp -d "${TMPDIR:-/tmp}/trimlet-gnome.XXXXXX") || skip "no temporary folder"
    cp "$1" "$top/trimlet" && cp "$3" "$top/desktop_keys" && cp "$(dirname "$0")"/*.sh "$(dirname "$0")"/../common.sh "$top/" ||
        skip "cannot copy the program"
    enter_session "$top" gnome.sh "$2" ""
fi

# --- inside: the unprivileged user on a private session bus ------------------------------
PROGRAM=$1
CASE=$2
TOP=$WL_TOP
mkdir -p "$HOME" "$TOP/run" && chmod 700 "$TOP/run"
export XDG_RUNTIME_DIR=$TOP/run
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=wayland NO_AT_BRIDGE=1
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    exec 9>&- 2>/dev/null
    stop_spawned
}
trap cleanup EXIT
on_failure() { shot "$TOP/failure.png"; }

start_system_bus

# The known picture the screen shows: no two neighbouring pixels alike.
convert -size 1024x768 -seed 7 plasma:fractal -depth 8 "$TOP/known.png" || skip "convert failed"
ext=trimlet-tests@trimlet.invalid
mkdir -p "$HOME/.local/share/gnome-shell/extensions/$ext"
cat >"$HOME/.local/share/gnome-shell/extensions/$ext/metadata.json" <<JSON
{"uuid": "$ext", "name": "trimlet tests", "description": "test session", "shell-version": ["43"]}
JSON
cat >"$HOME/.local/share/gnome-shell/extensions/$ext/extension.js" <<'JS'
const Main = imports.ui.main;
const { Meta } = imports.gi;
function init() {}
function enable() {
    global.context.unsafe_mode = true;
    Main.layoutManager.panelBox.hide();
    global._created = [];
    global._focus = [];
    global._owners = [];
    global.display.get_selection().connect('owner-changed', (sel, type, source) => {
        if (type === Meta.SelectionType.SELECTION_CLIPBOARD)
            global._owners.push(source ? source.get_mimetypes().join(' ') : '');
    });
    global.display.connect('window-created', (d, w) => global._created.push(`${w.get_pid()}:${w.get_title() || w.get_wm_class() || '?'}`));
    global.display.connect('notify::focus-window', () => {
        const w = global.display.focus_window;
        global._focus.push(w ? (w.get_title() || w.get_wm_class() || '?') : '');
    });
    const settle = () => {
        Main.overview.hide();
    };
    if (Main.layoutManager._startingUp)
        Main.layoutManager.connect('startup-complete', settle);
    else
        settle();
}
function disable() {}
JS
gsettings set org.gnome.desktop.background picture-uri "file://$TOP/known.png"
gsettings set org.gnome.desktop.background picture-uri-dark "file://$TOP/known.png"
gsettings set org.gnome.desktop.background picture-options centered
gsettings set org.gnome.desktop.interface enable-animations false
gsettings set org.gnome.desktop.notifications show-banners false
gsettings set org.gnome.shell disable-user-extensions false
gsettings set org.gnome.shell enabled-extensions "['$ext']"
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'

dbus-update-activation-environment XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR XDG_SESSION_TYPE \
    DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY=wayland-0 || fail "cannot set the bus's activation environment"
spawn gnome-shell --wayland --headless --virtual-monitor 1024x768 --no-x11 >"$TOP/shell.log" 2>&1
shell_eval() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "$1" 2>/dev/null
}
# The value of a JavaScript expression that gives a string or a number (empty on failure).
js() {
    shell_eval "$1" | sed -n "s/^(true, '\(.*\)')$/\1/p" | sed 's/^"//; s/"$//'
}
for _ in $(seq 150); do
    [ "$(js '1+1')" = 2 ] && break
    sleep 0.1
done
[ "$(js '1+1')" = 2 ] || { tail -5 "$TOP/shell.log"; skip "gnome-shell did not start here"; }
export WAYLAND_DISPLAY=wayland-0
# The keyboard: key names written to file descriptor 9 are typed.
start_desktop_keys mutter "remote-desktop keyboard"
# The seat has a keyboard from the first key typed on.
key Escape
for _ in $(seq 50); do
    timeout 2 wl-paste --list-types 2>&1 | grep -q "no keyboard" || break
    sleep 0.1
done
for _ in $(seq 50); do
    [ "$(js 'Main.overview.visible')" = false ] && break
    sleep 0.1
done
[ "$(js 'Main.overview.visible')" = false ] || skip "the overview stays on the screen"
if ! grep -q '^# needs: no-screenshot-permission' "$CASE"; then
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method org.freedesktop.impl.portal.PermissionStore.SetPermission \
        screenshot true screenshot '' "['yes']" >/dev/null || fail "cannot store the screenshot permission"
fi

# --- helpers for the cases -----------------------------------------------------------------

# A screenshot of the whole session; kept in $TRIMLET_WAYLAND_SHOTS when that is set.
shot() {
    local file=$1
    # (The shell saves a relative name in the pictures folder.)
    [ "${file#/}" = "$file" ] && file=$PWD/$file
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell/Screenshot \
        --method org.gnome.Shell.Screenshot.Screenshot false false "$file" 2>/dev/null |
        grep -q '^(true' || return 1
    # Opaque RGB, as the other sessions' screenshots are.
    convert "$file" -alpha off "PNG24:$file" || return 1
    [ -n "$WL_SHOTS" ] && cp "$file" "$WL_SHOTS/gnome-$(basename "$CASE" .sh)-$(basename "$file")" 2>/dev/null
    return 0
}

# The program's window title (its caption) (empty when there is no such window).
caption() {
    js 'global.get_window_actors().map(a => a.meta_window.get_title()).filter(t => t && t.startsWith("選択"))[0] || ""'
}
focus_title() { js 'global.display.focus_window ? global.display.focus_window.get_title() : ""'; }



# Puts a picture on the clipboard; wl-copy (which on mutter maps a window for the focus)
# stays in the foreground to serve it. Waits for the desktop to see the new owner: a
# wl-paste meanwhile would take the focus wl-copy waits for.
clipboard_put_png() {
    local before
    before=$(js 'global._owners.length')
    spawn sh -c 'exec wl-copy --foreground -t image/png <"$0"' "$1"
    for _ in $(seq 50); do
        [ "$(js 'global._owners.length')" -gt "$before" ] && return 0
        sleep 0.1
    done
    fail "the clipboard did not take $1"
}

# The top-left corner "x y" of the program's window (mutter places it anew each time it
# is shown again, after a capture too).
window_origin() {
    js 'global.get_window_actors().map(a => a.meta_window).filter(w => (w.get_title() || "").startsWith("選択")).map(w => w.get_frame_rect().x + " " + w.get_frame_rect().y)[0] || ""'
}

# Where the view shows a picture of colour $1: PIC_X, PIC_Y (screen coordinates), and
# PIC_DX, PIC_DY (from the window's corner).
find_picture() {
    local colour=$1 row x0 y0
    read -r x0 y0 < <(window_origin)
    [ -n "$x0" ] || fail "no window of the program"
    shot "$TOP/find.png" || fail "no screenshot"
    for x in 4 8 16 32; do
        row=$(convert "$TOP/find.png" -crop "1x768+$((x0 + x))+0" +repage -depth 8 txt:- |
            grep -m1 "srgb($colour)" | cut -d, -f2 | cut -d: -f1)
        [ -n "$row" ] && break
    done
    [ -n "$row" ] || fail "no picture of colour $colour on the screen"
    PIC_Y=$row
    PIC_X=$(convert "$TOP/find.png" -crop "1024x1+0+$((row + 1))" +repage -depth 8 txt:- |
        grep -m1 "srgb($colour)" | cut -d, -f1)
    PIC_DX=$((PIC_X - x0)) PIC_DY=$((PIC_Y - y0))
}

# Tab until the button's frame at view column $1 (from the picture's left edge) shows the
# focus colour, then Space.
press_button() {
    local x y x0 y0 pixel
    for _ in $(seq 14); do
        read -r x0 y0 < <(window_origin)
        x=$((x0 + PIC_DX + $1)) y=$((y0 + PIC_DY - 16))
        shot "$TOP/px.png" || fail "no screenshot"
        pixel=$(convert "$TOP/px.png" -crop "1x1+$x+$y" -depth 8 txt:- | tail -n 1)
        case $pixel in *"(38,112,158)"*)
            key space
            return 0
            ;;
        esac
        key Tab
        sleep 0.1
    done
    fail "could not move the focus to the button at view column $1"
}
press_capture() { press_button 200; }
press_reload() { press_button 344; }

# Closes the program's window as its close box would.
close_window() {
    js 'global.get_window_actors().map(a => a.meta_window).filter(w => (w.get_title() || "").startsWith("選択")).forEach(w => w.delete(global.get_current_time())); 1' >/dev/null
}

# What the desktop saw from here on: mark, then wait_clipboard_change (waits for the next
# owner of the clipboard and sets OFFERED to its formats) and focus_kept <pid> <what> (no
# window of another process appeared and the focus stayed with the program's window).
mark() {
    MARK_CREATED=$(js 'global._created.length')
    MARK_FOCUS=$(js 'global._focus.length')
    MARK_OWNERS=$(js 'global._owners.length')
}
wait_clipboard_change() {
    for _ in $(seq 50); do
        OFFERED=$(js "global._owners.slice($MARK_OWNERS).pop() || ''")
        [ -n "$OFFERED" ] && return 0
        sleep 0.1
    done
    fail "the clipboard did not change ($(js 'JSON.stringify(global._owners)'))"
}
focus_kept() {
    local created focus
    created=$(js "global._created.slice($MARK_CREATED).filter(w => !w.startsWith('$1:')).join(',')")
    focus=$(js "global._focus.slice($MARK_FOCUS).filter(t => !t.startsWith('選択') && t !== 'トリムレット').join(',')")
    [ -z "$created$focus" ] || fail "$2: windows appeared ($created) or took the focus ($focus)"
}

start_for_capture() {
    printf '[Wait]\nCapture=500\n' >"$TOP/trimlet.ini"
    solid first.png 300 200 red
    clipboard_put_png first.png
    QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
    wait_caption "選択(1,1)-(300,200) W=300 H=200"
    find_picture "63,255,255"
}

# The top bar (with the remote-desktop indicator) covers the screen's first 32 rows.
SCREEN_AREA=1024x736+0+32

cd "$TOP" || exit 1
source "$CASE"
