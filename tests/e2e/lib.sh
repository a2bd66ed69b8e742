# Shared helpers for the end-to-end scripts: sourced, not run by ctest.
# The program under test is $1 of the sourcing script.

set -u
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
E2E_TMP=$(mktemp -d "${TRIMLET_TEST_DIR:-/tmp}/e2e.XXXXXX")
# A runtime folder of this run's own: the single-instance lock of a program left over
# from another run (or another user of the same display number) cannot stop ours.
export XDG_RUNTIME_DIR=$E2E_TMP/run
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"

e2e_cleanup() {
    stop_spawned
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

# Copies the program ($1) into a folder of its own, so the settings file beside it is this
# run's: sets APP and INI.
own_copy() {
    mkdir -p "$E2E_TMP/bin"
    cp "$1" "$E2E_TMP/bin/trimlet" || fail "cannot copy the program"
    APP=$E2E_TMP/bin/trimlet
    INI=$E2E_TMP/bin/trimlet.ini
}

# After the main window of process $1 was closed: waits for the window to go, takes the
# clipboard (the process serves its picture until another program takes it) and waits
# up to 10 s for the process to end. Returns 1 when it does not.
release_and_wait_exit() {
    local pid=$1
    for _ in $(seq 100); do
        [ -z "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)" ] && break
        sleep 0.1
    done
    printf 'taken' | xclip -selection clipboard -i
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

# Chooses "終了", the last item of the menu of window $1 of process $2, and waits up to
# 10 s for the program to end. The picture it showed is its clipboard content, which it
# serves on after its window has gone (settings written), until another program takes
# the clipboard.
quit_by_menu() {
    local id=$1 pid=$2 before
    before=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)
    xdotool mousemove --window "$id" 20 10 click 1
    # Wait for the menu's own window, however busy the machine is.
    for _ in $(seq 100); do
        [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -gt "$before" ] && break
        sleep 0.1
    done
    sleep 0.2
    xdotool key Up
    sleep 0.2
    xdotool key Return
    release_and_wait_exit "$pid" || fail "the program did not end after 終了"
}

# A left-button drag in window $1 from $2,$3 to $4,$5 (window coordinates).
left_drag() {
    xdotool mousemove --window "$1" "$2" "$3" mousedown 1
    sleep 0.2
    xdotool mousemove --window "$1" "$4" "$5"
    sleep 0.2
    xdotool mouseup 1
}

# $E2E_TMP/known.png: four flat 150 x 95 quadrants over a 300 x 10 band of one-pixel
# checks, which a picture blown up or filtered cannot match; $E2E_TMP/shown.png: the
# same as the view shows it fully selected (every colour XOR-ed with 192,255,255).
quadrant_pictures() {
    convert -size 150x95 xc:red xc:lime +append \( -size 150x95 xc:blue xc:yellow +append \) \
        -append \( -size 300x10 pattern:gray50 \) -append +repage -depth 8 -type TrueColor \
        "$E2E_TMP/known.png" || fail "no test picture"
    convert -size 150x95 'xc:rgb(63,255,255)' 'xc:rgb(192,0,255)' +append \
        \( -size 150x95 'xc:rgb(192,255,0)' 'xc:rgb(63,0,255)' +append \) -append \
        \( -size 300x10 pattern:gray50 +level-colors 'rgb(192,255,255),rgb(63,0,0)' \) -append \
        +repage -depth 8 -type TrueColor "$E2E_TMP/shown.png" || fail "no expected picture"
}

# Checks that the screen shows $E2E_TMP/shown.png 1:1 with its top-left corner at
# $1,$2 and the grey viewport at once right of and below it; $3 names the place in the
# messages. The screenshot stays in $E2E_TMP/screen.png.
expect_shown_quadrants() {
    local x=$1 y=$2 what=$3 diff px at
    import -window root "$E2E_TMP/screen.png" || fail "no screenshot"
    convert "$E2E_TMP/screen.png" -crop "300x200+$x+$y" +repage -depth 8 -type TrueColor \
        "$E2E_TMP/part.png"
    diff=$(compare -metric AE "$E2E_TMP/shown.png" "$E2E_TMP/part.png" null: 2>&1)
    [ "$diff" = "0" ] || fail "$what: the picture on the screen differs from 1:1 in $diff pixels"
    for at in "$((x + 300)),$((y + 5))" "$((x + 5)),$((y + 200))"; do
        px=$(convert "$E2E_TMP/screen.png" -crop "1x1+${at%,*}+${at#*,}" -depth 8 txt:- |
            grep -o '#[0-9A-F]\{6\}')
        [ "$px" = "#808080" ] || fail "$what: at $at the screen shows $px, not the grey viewport"
    done
}

# Puts a picture file on the clipboard; xclip stays in the foreground of its own
# background job (-quiet: no fork), so the cleanup can end it.
clipboard_put_png() {
    spawn xclip -quiet -selection clipboard -t image/png -i "$1"
    for _ in $(seq 150); do
        xclip -selection clipboard -t TARGETS -o 2>/dev/null | grep -q image/png && return 0
        sleep 0.1
    done
    fail "the clipboard did not take $1"
}

# Waits up to $2 seconds (default 10) for a window whose name matches $1; prints its id.
wait_window() {
    local pattern=$1 limit=${2:-10} id
    for _ in $(seq $((limit * 10))); do
        id=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1)
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}

# Where the fully selected picture's first pixel lies in window $1, whatever the menu
# bar's height: the first pointer event after the window was laid out is dropped, so a
# plain move comes first; then a click at $2,$3 (on the picture) leaves a one-pixel
# selection at the pointer. Sets PIC_X and PIC_Y (window coordinates).
locate_picture() {
    local id=$1 x=$2 y=$3 name
    xdotool mousemove --window "$id" $((x - 30)) "$y"
    xdotool mousemove --window "$id" "$x" "$y" click 1
    wait_until 5 caption_matches ' W=1 H=1$'
    name=$(caption)
    [[ "$name" =~ ^選択\(([0-9]+),([0-9]+)\)-\(([0-9]+),([0-9]+)\)\ W=1\ H=1$ ]] ||
        fail "a click did not leave one pixel: '$name'"
    PIC_X=$((x - BASH_REMATCH[1]))
    PIC_Y=$((y - BASH_REMATCH[2]))
}

# An 8000 x 8000 blue PNG at $1: beyond Qt's own default image limit. (ImageMagick's own
# policy refuses a picture this large, so it is written directly.)
big_png() {
    python3 - "$1" <<'PY' || fail "no test picture"
import struct, sys, zlib
w = h = 8000
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
rows = zlib.compress((b"\x00" + b"\x00\x00\xff" * w) * h, 6)
with open(sys.argv[1], "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", rows) + chunk(b"IEND", b""))
PY
}

# The main window's caption (the program runs once per display).
caption() {
    xdotool search --onlyvisible --name '^選択' getwindowname %1 2>/dev/null | head -n 1
}

# The row, in window $1's coordinates, where the picture's top edge lies: the first
# row whose pixel in column 2 has the colour $2 ("r,g,b"; the picture is shown
# highlighted, so that is the picture's colour XOR 192,255,255). The button strip's
# middle is 16 rows above it, whatever the menu bar's height.
picture_top() {
    local row
    import -window "$1" "$E2E_TMP/window.png" || return 1
    row=$(convert "$E2E_TMP/window.png" -crop 1x10000+2+0 +repage -depth 8 txt:- |
        grep -m1 "srgb($2)" | cut -d, -f2 | cut -d: -f1)
    [ -n "$row" ] && echo "$row"
}
