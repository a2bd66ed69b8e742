# A termination signal while one step holds the program for seconds ends it within 1 s
# all the same: 0.3 s into saving a 64-megapixel picture as GIF, and 0.3 s into another
# program's paste of such a picture. The settings are stored exactly once, and the save
# leaves neither its temporary file nor a partial GIF behind.
source "$(dirname "$0")/lib.sh"
own_copy "$1"

noise_png "$E2E_TMP/noise.png"

# Each settings file put in place beside the program, one line per rename onto it.
python3 - "$E2E_TMP/bin" >"$E2E_TMP/writes.log" <<'PY' &
import ctypes, os, struct, sys
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
libc.inotify_add_watch(fd, sys.argv[1].encode(), 0x80)  # IN_MOVED_TO
print("ready", flush=True)
while True:
    data, at = os.read(fd, 4096), 0
    while at < len(data):
        _, _, _, size = struct.unpack_from("iIII", data, at)
        print(data[at + 16:at + 16 + size].rstrip(b"\0").decode(), flush=True)
        at += 16 + size
PY
E2E_PIDS+=($!)
wait_until 10 grep -q ready "$E2E_TMP/writes.log" || fail "the settings watch did not start"

settings_writes() { grep -cx 'trimlet.ini' "$E2E_TMP/writes.log"; }
stored() { [ "$(settings_writes)" -ge 1 ]; }
# Fails ($1 names the moment) unless the settings were written exactly once since
# fresh_settings, with the wait read at start kept and the placement stored.
stored_once() {
    wait_until 3 stored || fail "$1: the settings were not stored"
    [ "$(settings_writes)" -eq 1 ] || fail "$1: the settings were stored $(settings_writes) times"
    grep -q '^Capture=2000$' "$INI" && grep -q '^WindowState=' "$INI" ||
        fail "$1: the settings are not the window's: $(tr '\n' ' ' <"$INI")"
}
fresh_settings() {
    printf '[Wait]\nCapture=2000\n' >"$INI"
    : >"$E2E_TMP/writes.log"
}

fresh_settings
mkdir -p "$E2E_TMP/out"
spawn "$APP" "$E2E_TMP/noise.png"
pid=${E2E_PIDS[-1]}
id=$(wait_window '^選択' 60) || fail "saving: no main window"
wait_caption "選択(1,1)-(8000,8000) W=8000 H=8000" 60
top=$(picture_top "$id" "63,255,255") || fail "saving: the picture is not on the screen"
xdotool mousemove --window "$id" 60 $((top - 16)) click 1
two_windows() { [ "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | wc -l)" -ge 2 ]; }
wait_until 10 two_windows || fail "saving: no save dialog"
xdotool key ctrl+a type "$E2E_TMP/out/pic.gif"
xdotool key Return
temp_files() { find "$E2E_TMP/out" -name 'pic.gif.*'; }
saving() { [ -n "$(temp_files)" ]; }
wait_until 10 saving || fail "saving: the save did not begin"
sleep 0.3
[ -n "$(temp_files)" ] || fail "saving: the GIF was written within 0.3 s; no long step to cut"
term_ends_in_time "$pid" "0.3 s into saving a 64-megapixel GIF"
[ -z "$(temp_files)" ] || fail "saving: the temporary file stayed: $(temp_files)"
if [ -e "$E2E_TMP/out/pic.gif" ]; then
    [ "$(tail -c 1 "$E2E_TMP/out/pic.gif" | od -An -tx1 | tr -d ' ')" = 3b ] ||
        fail "saving: a partial GIF stayed"
fi
stored_once "saving"

# Another program pastes the picture the program put on the clipboard: the PNG is made
# while the paste waits.
fresh_settings
spawn "$APP" "$E2E_TMP/noise.png"
pid=${E2E_PIDS[-1]}
wait_window '^選択' 60 > /dev/null || fail "pasting: no main window"
wait_caption "選択(1,1)-(8000,8000) W=8000 H=8000" 60
xclip -selection clipboard -o -t image/png > /dev/null 2>&1 &
E2E_PIDS+=($!)
sleep 0.3
term_ends_in_time "$pid" "0.3 s into another program's paste of a 64-megapixel picture"
stored_once "pasting"
echo "termination during a long step e2e passed"
