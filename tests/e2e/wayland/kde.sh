#!/bin/bash
# Runs one end-to-end case against the built program inside a headless KWin (KDE Plasma's
# compositor, Wayland) session:  kde.sh <program> <case script> <desktop_keys>
# As root the script hands itself to the user "nobody", as session.sh does. Inside: a
# stand-in system bus, a private session bus, kwin_wayland with one 1024x768 virtual output
# (a copy of the binary: the installed one carries a file capability that a container
# without new privileges refuses to run) and KWin's fake-input keyboard (the headless seat has none). KWin runs without its permission
# checks, which opens its restricted interfaces to every client: after the case, the
# program's own Wayland log must show that it bound none of them.
# Exit 77 (a skip) with a message wherever the machine cannot run the session.
set -u
source "$(dirname "$0")/helpers.sh"  # and common.sh

if [ -z "${WL_INNER:-}" ]; then
    for tool in kwin_wayland dbus-daemon dbus-run-session gdbus wl-copy wl-paste convert compare; do
        command -v "$tool" >/dev/null || skip "$tool is not installed (make deps installs it)"
    done
    [ -x "${3:-}" ] || skip "no desktop_keys helper given"
    # "# needs: portal": the case captures through KDE's desktop portal.
    if grep -q '^# needs: portal' "$2"; then
        [ -e /usr/share/dbus-1/services/org.freedesktop.impl.portal.desktop.kde.service ] ||
            skip "xdg-desktop-portal-kde is not installed"
    fi
    top=$(mktemp -d "${TMPDIR:-/tmp}/trimlet-kde.XXXXXX") || skip "no temporary folder"
    cp "$1" "$top/trimlet" && cp "$3" "$top/desktop_keys" && cp "$(dirname "$0")"/*.sh "$(dirname "$0")"/../common.sh "$top/" &&
        cp "$(command -v kwin_wayland)" "$top/kwin_wayland" || skip "cannot copy the programs"
    enter_session "$top" kde.sh "$2" ""
fi

# --- inside: the unprivileged user on a private session bus ------------------------------
CASE=$2
TOP=$WL_TOP
mkdir -p "$HOME" "$TOP/run" && chmod 700 "$TOP/run"
export XDG_RUNTIME_DIR=$TOP/run
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=wayland KDE_FULL_SESSION=true KDE_SESSION_VERSION=5
export NO_AT_BRIDGE=1
unset DISPLAY WAYLAND_DISPLAY
# The program under test writes its Wayland protocol log (titles, focus, bound globals).
cat >"$TOP/run-trimlet" <<SH
#!/bin/sh
WAYLAND_DEBUG=1 exec "$1" "\$@" 2>>"$TOP/program.log"
SH
chmod 755 "$TOP/run-trimlet"
PROGRAM=$TOP/run-trimlet

cleanup() {
    exec 9>&- 2>/dev/null
    stop_spawned
}
trap cleanup EXIT
on_failure() { shot "$TOP/failure.png"; }

start_system_bus

dbus-update-activation-environment XDG_CURRENT_DESKTOP XDG_RUNTIME_DIR XDG_SESSION_TYPE \
    KDE_FULL_SESSION KDE_SESSION_VERSION DBUS_SYSTEM_BUS_ADDRESS WAYLAND_DISPLAY=wayland-0 ||
    fail "cannot set the bus's activation environment"
KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 spawn "$TOP/kwin_wayland" --virtual --width 1024 --height 768 \
    --no-lockscreen --no-global-shortcuts --no-kactivities --socket wayland-0 >"$TOP/kwin.log" 2>&1
for _ in $(seq 150); do
    gdbus call --session --dest org.kde.KWin --object-path /KWin \
        --method org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && [ -S "$XDG_RUNTIME_DIR/wayland-0" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/wayland-0" ] || { tail -5 "$TOP/kwin.log"; skip "kwin_wayland did not start here"; }
export WAYLAND_DISPLAY=wayland-0
start_desktop_keys kwin "fake-input keyboard"

# The known picture the screen shows (a layer-shell background), and the pointer, which
# KWin draws into screenshots, in the corner the cases leave out (SCREEN_AREA).
convert -size 1024x768 -seed 7 plasma:fractal -depth 8 "$TOP/known.png" || skip "convert failed"
if command -v swaybg >/dev/null; then
    spawn swaybg -i "$TOP/known.png" -m center >/dev/null 2>&1
fi
key pointer-away
SCREEN_AREA=1000x740+0+0

# --- helpers for the cases -----------------------------------------------------------------

# The program's window title (its caption) starting with 選択, from its protocol log; empty once the
# program has destroyed its last top-level window after that title.
caption() {
    awk '/set_title\("選択/ { t = $0; sub(/.*set_title\("/, "", t); sub(/"\).*/, "", t) }
         /-> xdg_toplevel@[0-9]+\.destroy\(\)/ { t = "" }
         END { print t }' "$TOP/program.log" 2>/dev/null
}
# No screenshots in this session (KWin offers no screen copy to clients).
shot() { return 1; }


# KWin offers the wlr data-control protocol: wl-copy and wl-paste need no window
# (clipboard_put_png of helpers.sh).

# Closes the program's window through a KWin script, as its close box would.
close_window() {
    local id
    printf '%s\n' 'workspace.clientList().forEach(c => { if (c.caption.startsWith("選択")) c.closeWindow(); });' \
        >"$TOP/close.js"
    id=$(gdbus call --session --dest org.kde.KWin --object-path /Scripting \
        --method org.kde.kwin.Scripting.loadScript "$TOP/close.js" "close$RANDOM" | grep -o '[0-9]\+' | head -n 1)
    [ -n "$id" ] || fail "KWin did not load the closing script"
    gdbus call --session --dest org.kde.KWin --object-path "/Scripting/Script$id" \
        --method org.kde.kwin.Script.run >/dev/null 2>&1 ||
        gdbus call --session --dest org.kde.KWin --object-path "/$id" \
            --method org.kde.kwin.Script.run >/dev/null || fail "KWin did not run the closing script"
}

# What the desktop saw from here on: mark, then wait_clipboard_change (waits for a new
# owner of the clipboard and sets OFFERED to its formats) and focus_kept <pid> <what>
# (the program's windows never lost the keyboard focus, and no other window appeared:
# nothing but the program and the test's tools runs here).
mark() {
    MARK_LOG=$(wc -l <"$TOP/program.log" 2>/dev/null || echo 0)
    MARK_TYPES=$(wl-paste --list-types 2>/dev/null | tr '\n' ' ')
    MARK_HASH=$(wl-paste -t image/png 2>/dev/null | md5sum)
    MARK_COPIER=$(pgrep -n -x wl-copy)
}
wait_clipboard_change() {
    for _ in $(seq 50); do
        OFFERED=$(wl-paste --list-types 2>/dev/null | tr '\n' ' ')
        OFFERED=${OFFERED% }
        if [ -n "$OFFERED" ] && { [ "$(pgrep -n -x wl-copy)" != "$MARK_COPIER" ] ||
            [ "$OFFERED " != "$MARK_TYPES" ] || [ "$(wl-paste -t image/png 2>/dev/null | md5sum)" != "$MARK_HASH" ]; }; then
            return 0
        fi
        sleep 0.1
    done
    fail "the clipboard did not change"
}
focus_kept() {
    local left
    left=$(tail -n +"$((MARK_LOG + 1))" "$TOP/program.log" | grep -c 'wl_keyboard@[0-9]*\.leave')
    [ "$left" = 0 ] || fail "$2: the program's window lost the keyboard focus $left times"
}

cd "$TOP" || exit 1
: >"$TOP/program.log"
source "$CASE"

# The program binds none of KWin's restricted interfaces.
restricted=$(grep -o 'wl_registry@[0-9]*\.bind([0-9]*, "[a-z_0-9]*"' "$TOP/program.log" |
    grep -o '"[a-z_0-9]*"' | grep -E 'org_kde_kwin_fake_input|zkde_screencast|org_kde_plasma|org_kde_kwin_remote_access|zwlr_|ext_data_control|org_kde_kwin_keystate' | sort -u | tr '\n' ' ')
[ -z "$restricted" ] || fail "the program bound restricted interfaces: $restricted"
