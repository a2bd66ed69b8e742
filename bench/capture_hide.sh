#!/bin/bash
# How long 画面ｷｬﾌﾟﾁｬ keeps the main window off the screen, as the X server sees it:
# from its UnmapNotify to its MapNotify, for N captures at a wait of WAIT ms, the first
# capture after the start listed first. Run inside an X server with a window manager
# or without ("none"):
#   bash tests/e2e/xvfb.sh 1280x1024x24 bench/capture_hide.sh build/src/app/trimlet openbox 500 10
set -u
APP=$1 WM=${2:-none} WAIT=${3:-500} N=${4:-10}
DIR=$(mktemp -d)
PIDS=()
trap 'kill "${PIDS[@]}" 2>/dev/null; rm -rf "$DIR"' EXIT
export HOME=$DIR
case $WM in
    openbox) openbox --sm-disable > /dev/null 2>&1 & PIDS+=($!) ;;
    fluxbox) fluxbox > /dev/null 2>&1 & PIDS+=($!) ;;
    none) ;;
esac
sleep 1
cp "$APP" "$DIR/trimlet"
# A picture on the clipboard, so that the start-up does not grab the screen itself.
convert -size 300x200 xc:blue "$DIR/p.png"
xclip -quiet -selection clipboard -t image/png -i "$DIR/p.png" & PIDS+=($!)
sleep 0.5
printf '[Wait]\nCapture=%s\n' "$WAIT" > "$DIR/trimlet.ini"
"$DIR/trimlet" > /dev/null 2>&1 & PIDS+=($!)
sleep 2
id=$(xdotool search --onlyvisible --name '^選択' | head -n 1)
[ -n "$id" ] || { echo "no main window"; exit 1; }
# The capture button: 236, 16 above the picture (client row 32, below the menu bar).
menu=23  # the menu bar of the default style and font
xev -id "$id" -event structure | while IFS= read -r line; do
    case $line in UnmapNotify* | MapNotify*) echo "$(date +%s%N) ${line%% *}" ;; esac
done > "$DIR/events" &
PIDS+=($!)
sleep 0.5
for _ in $(seq "$N"); do
    xdotool mousemove --window "$id" 236 $((32 + menu - 16)) click 1
    sleep $((WAIT / 1000 + 1))
done
times=$(awk '/UnmapNotify/ {u = $1} /MapNotify/ && u {printf "%.0f\n", ($1 - u) / 1e6; u = 0}' "$DIR/events" | head -n "$N")
[ -n "$times" ] || { echo "no capture seen"; exit 1; }
echo "wait $WAIT ms, hidden in ms (first capture first): $(echo $times)"
echo "$times" | sort -n | awk -v wait="$WAIT" '{t[NR] = $1}
    END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
          printf "median %.1f ms, beyond the wait %.1f ms\n", m, m - wait }'
