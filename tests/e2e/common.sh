# The vocabulary every end-to-end script shares, on X11 and on Wayland alike: sourced by
# lib.sh (X11 servers and window managers) and wayland/session.sh (Wayland sessions).
# Each of those defines `caption` (the main window's title; empty without one) and may
# define `on_failure` (what to keep for the reader when a check fails).

SKIP=77
E2E_PIDS=()

# Ends the script as failed, with the reason on standard error.
fail() {
    echo "FAIL: $*" >&2
    declare -F on_failure >/dev/null && on_failure
    exit 1
}

# Ends the script as skipped (exit 77): its environment cannot be had here.
skip() {
    echo "SKIP: $*"
    exit $SKIP
}

# Runs a command in the background and remembers it for the cleanup.
spawn() {
    "$@" &
    E2E_PIDS+=($!)
}

# Ends what spawn started, the last first, and waits for it.
stop_spawned() {
    local i
    for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do kill "${E2E_PIDS[i]}" 2>/dev/null; done
    wait 2>/dev/null
    E2E_PIDS=()
}

# wait_until SECONDS COMMAND [ARG...]: runs the command every tenth of a second until it
# succeeds (0) or the seconds are over (1).
wait_until() {
    local limit=$1
    shift
    local deadline=$((SECONDS + limit))
    while :; do
        "$@" && return 0
        [ "$SECONDS" -ge "$deadline" ] && return 1
        sleep 0.1
    done
}

caption_is() { [ "$(caption)" = "$1" ]; }
caption_matches() { [[ "$(caption)" =~ $1 ]]; }

# Waits up to $2 seconds (default 10) for the main window's caption to equal $1.
wait_caption() {
    wait_until "${2:-10}" caption_is "$1" || fail "caption is '$(caption)', expected '$1'"
}
