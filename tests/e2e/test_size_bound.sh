# The main window's outer size stays between 400 x 240 and the screen (1280 x 1024)
# when it is resized from outside, here without a window manager, which would
# otherwise apply any size asked for.
source "$(dirname "$0")/lib.sh"

own_copy "$1"

# No picture on the clipboard: the program shows the screen, which is all this needs.
spawn "$APP"
id=$(wait_window '^選択' 15) || fail "no main window"

# Resizes the window to $1 x $2 and waits up to 5 s for it to settle at $3 x $4.
resize_expect() {
    local w=$1 h=$2 ew=$3 eh=$4 got=""
    xdotool windowsize "$id" "$w" "$h"
    for _ in $(seq 50); do
        sleep 0.1
        eval "$(xdotool getwindowgeometry --shell "$id")"
        got="$WIDTH x $HEIGHT"
        [ "$got" = "$ew x $eh" ] && return 0
    done
    fail "asked for $w x $h: window is $got, expected $ew x $eh"
}

resize_expect 100 100 400 240
resize_expect 500 300 500 300
resize_expect 399 600 400 600
resize_expect 3000 3000 1280 1024
resize_expect 640 480 640 480
echo "size bound e2e passed"
