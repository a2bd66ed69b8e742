# The settings file beside the program: written at close with the start-up defaults,
# read at the next start, and kept in place around a placement and a wait of its own.
source "$(dirname "$0")/lib.sh"

# A copy of the program in a folder of its own, so the settings beside it are ours.
own_copy "$1"

# No picture on the clipboard: the program shows the screen, which is all this needs.

geometry_is() {
    local id=$1 expected=$2 got
    eval "$(xdotool getwindowgeometry --shell "$id")"
    got="$X $Y $WIDTH $HEIGHT"
    [ "$got" = "$expected" ] || fail "window at '$got', expected '$expected'"
}

# First start: no settings file; the window opens at 0, 0 with 425 x 364 pixels.
[ -e "$INI" ] && fail "a settings file before the first start"
spawn "$APP"
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no main window"
geometry_is "$id" "0 0 425 364"
[ -e "$INI" ] && fail "start-up wrote the settings file"
quit_by_menu "$id" "$pid"
expected=$'[Window]\nLeft= 0\nTop= 0\nWidth= 6375\nHeight= 5460\nWindowState= 0\n[Wait]\nCapture=1000\n[View]\nLoupe=1'
[ "$(cat "$INI")" = "$expected" ] || fail "first settings file: $(cat "$INI")"

# A file of the user's own: its placement and wait are used, its other lines stay.
printf '; my settings\n[Wait]\ncapture = 2000\n[Window]\nLeft=1500\nTop=1200\nWidth=6990\nHeight=6000\nWindowState=0\n[Mine]\nKey=value\n' > "$INI"
spawn "$APP"
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 15) || fail "no main window at the second start"
geometry_is "$id" "100 80 466 400"
quit_by_menu "$id" "$pid"
expected=$'; my settings\n[Wait]\ncapture=2000\n[Window]\nLeft= 1500\nTop= 1200\nWidth= 6990\nHeight= 6000\nWindowState= 0\n[Mine]\nKey=value\n[View]\nLoupe=1'
[ "$(cat "$INI")" = "$expected" ] || fail "second settings file: $(cat "$INI")"
echo "settings e2e passed"
