#!/bin/sh
# Makes the screenshots the encoder benchmark uses, on an X server of the given size
# started here and stopped at the end, each from other Debian programs:
#   desktop.png  a wallpaper with a few windows of the standard X programs
#   text.png     a terminal full of text, black on white, with a coloured listing
#   gtk.png      GTK 3's widget factory (gtk-3-examples) on the wallpaper
#   qt.png       Qt 6 Designer (designer-qt6) over the whole screen
#   editor.png   vim with syntax colours in a dark terminal
#   table.png    a zenity (GTK) list of the system's services, four columns
#   page.png     GTK 3's text view demo: text in several fonts with pictures and widgets
#   darkgtk.png  the widget factory in the dark Adwaita theme
# A program that is missing leaves its screenshot out.
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
    # A window that has not drawn yet leaves a nearly blank screen (a PNG of a few
    # hundred bytes): take it again, a second later, up to ten times.
    sleep 3
    tries=0
    while :; do
        /usr/bin/import -window root "$out/$1"
        if [ "$(stat -c %s "$out/$1")" -ge 20000 ] || [ $tries -ge 10 ]; then break; fi
        tries=$((tries + 1))
        sleep 1
    done
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

# The program's windows at x y, w x h (in 1080p pixels, scaled), once they are mapped.
place() {
    ids="" i=0
    while [ -z "$ids" ] && [ $i -lt 100 ]; do
        ids=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null || true)
        i=$((i + 1))
        [ -n "$ids" ] || sleep 0.1
    done
    for id in $ids; do
        xdotool windowsize "$id" "$(w "$4")" "$(w "$5")" >/dev/null 2>&1 || true
        xdotool windowmove "$id" "$(w "$2")" "$(w "$3")" >/dev/null 2>&1 || true
    done
}
have() { command -v "$1" >/dev/null 2>&1; }
export GDK_SCALE="$scale" QT_SCALE_FACTOR="$scale" NO_AT_BRIDGE=1
unset QT_QPA_PLATFORM  # the benchmark's own offscreen setting is not for these
/usr/bin/display -window root "$out/root.png" || true

if have gtk3-widget-factory; then
    gtk3-widget-factory >/dev/null 2>&1 &
    pids="$pids $!"
    place $! 120 60 1500 950
    shot gtk.png
    GTK_THEME=Adwaita:dark gtk3-widget-factory >/dev/null 2>&1 &
    pids="$pids $!"
    place $! 200 80 1600 960
    shot darkgtk.png
fi
if [ -x /usr/lib/qt6/bin/designer ]; then
    /usr/lib/qt6/bin/designer >/dev/null 2>&1 &
    pids="$pids $!"
    place $! 0 0 1920 1080
    shot qt.png
fi
if have vim; then
    xterm -geometry 200x60+0+0 -fa "DejaVu Sans Mono" -fs "$fs" -bg '#1c1c1c' -fg '#d0d0d0' \
        -tn xterm-256color -e vim -R -n -i NONE -c 'syntax on' -c 'colorscheme desert' \
        -c 'set number cursorline' -c 'normal 1200G' /usr/include/png.h &
    pids="$pids $!"
    place $! 0 0 1920 1080
    shot editor.png
fi
if have zenity; then
    awk '!/^#/ && NF >= 2 { split($2, p, "/"); c = ""; for (i = 3; i <= NF; i++) c = c " " $i;
         print $1; print p[1]; print p[2]; print (c == "" ? "-" : c) }' /etc/services |
        zenity --list --title "Services" --width "$(w 1700)" --height "$(w 1000)" \
            --column Service --column Port --column Protocol --column Aliases >/dev/null 2>&1 &
    pids="$pids $!"
    place $! 100 40 1700 1000
    shot table.png
fi
if have gtk3-demo; then
    gtk3-demo --run=textview >/dev/null 2>&1 &
    pids="$pids $!"
    sleep 1
    place $! 0 0 1920 1080
    shot page.png
fi
rm -f "$out/root.png"
