#!/bin/sh
# Makes the two screenshots the encoder benchmark uses, on an X server of the given
# size started here and stopped at the end:
#   desktop.png  a wallpaper with a few windows of the standard X programs
#   text.png     a terminal full of text, black on white, with a coloured listing
#
#   screenshots.sh DISPLAY WIDTH HEIGHT OUTDIR WALLPAPER
set -eu
display=$1 width=$2 height=$3 out=$4 wallpaper=$5
mkdir -p "$out"
scale=$((width / 1920))
[ "$scale" -ge 1 ] || scale=1

Xvfb "$display" -screen 0 "${width}x${height}x24" -nolisten tcp >/dev/null 2>&1 &
xpid=$!
pids=""
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    kill "$xpid" 2>/dev/null || true
    wait 2>/dev/null || true
}
trap cleanup EXIT
i=0
until xdpyinfo -display "$display" >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -lt 100 ] || { echo "no X server on $display" >&2; exit 1; }
    sleep 0.1
done
export DISPLAY="$display"

shot() {
    sleep 2
    /usr/bin/import -window root "$out/$1"
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    pids=""
    sleep 0.3
}

# Text: one terminal over the whole screen.
fs=$((10 * scale))
xterm -geometry 1000x500+0+0 -fa "DejaVu Sans Mono" -fs "$fs" -bg white -fg black \
    -e sh -c 'ls -l --color=always /usr/lib/x86_64-linux-gnu | head -25;
              fold -w 180 /usr/share/common-licenses/GPL-3 | head -400 | tail -250 | pr -2 -t -w 370;
              sleep 600' &
pids="$pids $!"
shot text.png

# Desktop: the wallpaper on the root window, and windows over it.
/usr/bin/convert "$wallpaper" -resize "${width}x${height}!" "$out/root.png"
/usr/bin/display -window root "$out/root.png" || true  # sets the background, exits 1
rm -f "$out/root.png"
w() { echo $(($1 * scale)); }
xterm -geometry 110x40+$(w 40)+$(w 40) -fa "DejaVu Sans Mono" -fs "$fs" \
    -e sh -c 'ls -l --color=always /usr/bin | head -60; sleep 600' &
pids="$pids $!"
xterm -geometry 90x30+$(w 1000)+$(w 520) -fa "DejaVu Sans Mono" -fs "$fs" -bg '#1e1e2e' -fg '#cdd6f4' \
    -e sh -c 'cat /usr/share/common-licenses/Apache-2.0 | head -60; sleep 600' &
pids="$pids $!"
xclock -analog -update 1 -geometry $(w 300)x$(w 300)+$(w 1500)+$(w 60) &
pids="$pids $!"
xcalc -geometry $(w 260)x$(w 380)+$(w 1100)+$(w 60) &
pids="$pids $!"
xlogo -render -geometry $(w 200)x$(w 200)+$(w 60)+$(w 820) &
pids="$pids $!"
xeyes -geometry $(w 200)x$(w 140)+$(w 300)+$(w 860) &
pids="$pids $!"
xload -geometry $(w 300)x$(w 160)+$(w 1500)+$(w 400) &
pids="$pids $!"
shot desktop.png
