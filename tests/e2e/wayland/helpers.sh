# Helpers the Wayland session runners (session.sh for sway, gnome.sh, kde.sh) share, with
# the vocabulary of common.sh: sourced by each runner, outside and inside the session.

# common.sh lies beside this file once copied for the session's user, one folder up in the
# source tree.
if [ -f "$(dirname "${BASH_SOURCE[0]}")/common.sh" ]; then
    source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
else
    source "$(dirname "${BASH_SOURCE[0]}")/../common.sh"
fi

# Whether the desktop portal runs on the session bus.
portal_running() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.portal.Desktop |
        grep -q "boolean true"
}

# A solid picture file: solid <file> <width> <height> <colour>.
solid() { convert -size "$2x$3" "xc:$4" -depth 8 "PNG24:$1"; }

# Puts a picture on the clipboard where the compositor offers data control (sway, KWin):
# wl-copy needs no window and stays in the foreground to serve it.
clipboard_put_png() {
    # (A background job's standard input is /dev/null: the file is opened inside it.)
    spawn sh -c 'exec wl-copy --foreground -t image/png <"$0"' "$1"
    for _ in $(seq 50); do
        wl-paste -t image/png 2>/dev/null | cmp -s - "$1" && return 0
        sleep 0.1
    done
    fail "the clipboard did not take $1"
}

# A D-Bus configuration that lets every client do anything: open_bus_config <type> <listen
# address> [<folder of activatable services>].
open_bus_config() {
    cat <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
  <listen>$2</listen>
  <auth>EXTERNAL</auth>${3:+
  <servicedir>$3</servicedir>}
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
}

# The desktop's keyboard for a seat that has none: start_desktop_keys <backend> <what> runs the
# test keyboard copied to $TOP/desktop_keys and defines key NAME..., which types keys.
start_desktop_keys() {
    mkfifo "$TOP/keys"
    exec 9<>"$TOP/keys"
    spawn sh -c 'exec "$0" "$1" <&9 >"$2" 2>&1' "$TOP/desktop_keys" "$1" "$TOP/keys.log"
    wait_until 5 grep -q ready "$TOP/keys.log" || { cat "$TOP/keys.log"; skip "no $2"; }
    key() { echo "$*" >&9; }
}

# A stand-in system bus in $TOP/run (GNOME Shell will not start without one; KWin's portal
# asks it too), ended with the session; exports DBUS_SYSTEM_BUS_ADDRESS.
start_system_bus() {
    local bus_pid
    open_bus_config system "unix:path=$TOP/run/system_bus" >"$TOP/system.conf"
    read -r bus_pid < <(dbus-daemon --config-file="$TOP/system.conf" --fork --print-pid=1) ||
        skip "no stand-in system bus"
    E2E_PIDS+=("$bus_pid")
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$TOP/run/system_bus
}

# The runner's step from the caller's side into the session: as the session's user (root
# hands over to "nobody", since the compositors refuse root) and on a private session bus,
# runs the runner script $2 copied into the folder $1 on the copied program and case $3,
# with dbus-run-session's further arguments $4 (may be empty) and the VAR=VALUE words
# after them in its environment; then removes the folder and exits with the run's status.
enter_session() {
    local top=$1 runner=$2 case=$3 bus_args=$4 rc
    shift 4
    local run=(env)
    chmod 755 "$top"
    if [ "$(id -u)" = 0 ]; then
        command -v setpriv >/dev/null || skip "setpriv is missing: cannot leave root"
        chown -R nobody:nogroup "$top"
        run=(setpriv --reuid=nobody --regid=nogroup --clear-groups env)
    fi
    # shellcheck disable=SC2086 # bus_args: words or nothing
    "${run[@]}" -i PATH="$PATH" LANG=C.UTF-8 HOME="$top/home" WL_INNER=1 WL_TOP="$top" \
        WL_SHOTS="${TRIMLET_WAYLAND_SHOTS:-}" "$@" \
        dbus-run-session $bus_args -- bash "$top/$runner" "$top/trimlet" "$top/$(basename "$case")"
    rc=$?
    rm -rf "$top"
    exit $rc
}
