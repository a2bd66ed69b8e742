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

now_ms() { date +%s%3N; }

# Sends SIGTERM to $1 and fails ($2 names the moment) unless it has ended within 1 s.
term_ends_in_time() {
    local pid=$1 what=$2 t0
    t0=$(now_ms)
    kill -s TERM "$pid" 2>/dev/null
    while kill -0 "$pid" 2>/dev/null; do
        [ $(($(now_ms) - t0)) -le 1000 ] || fail "$what: still running 1 s after SIGTERM"
        sleep 0.02
    done
    echo "$what: ended $(($(now_ms) - t0)) ms after SIGTERM"
}

# Writes an 8000 x 8000 PNG of many colours to $1, slow to encode (every row a shifted
# copy of one row of noise, so the file stays small), red in its first four columns.
noise_png() {
    python3 - "$1" <<'PY' || fail "no test picture"
import os, struct, sys, zlib
w = h = 8000
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
noise = os.urandom(3 * w) * 2
z = zlib.compressobj(1)
rows = [z.compress(b"\x00" + b"\xff\x00\x00" * 4 + noise[s:s + 3 * (w - 4)])
        for s in ((y * 97 % w) * 3 for y in range(h))]
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", b"".join(rows) + z.flush()) + chunk(b"IEND", b""))
PY
}
