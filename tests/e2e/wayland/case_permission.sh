# Sourced by gnome.sh: a new user with no screenshot permission stored. Start-up with an
# empty clipboard asks nothing and shows the empty view; the first capture lets the
# desktop ask while the window is still shown and focused. Refused: the capture ends at
# once, the window never leaves, the view stays, one line on standard error (and a stored
# refusal ends the next capture at once without asking). Allowed, through the virtual
# keyboard: the capture goes on as everywhere, and later captures ask nothing. No file is
# left behind.
# needs: no-screenshot-permission
store() {
    gdbus call --session --dest org.freedesktop.impl.portal.PermissionStore \
        --object-path /org/freedesktop/impl/portal/PermissionStore \
        --method "org.freedesktop.impl.portal.PermissionStore.$1" screenshot screenshot 2>&1
}
question_shown() { [ "$(js 'Main.modalCount')" != 0 ]; }
focus_on_allow() { [ "$(js 'global.stage.key_focus ? global.stage.key_focus.label || "" : ""')" = Allow ]; }
our_window_shown() {
    [ "$(js 'global.get_window_actors().filter(a => (a.meta_window.get_title() || "").startsWith("選択")).map(a => a.visible && !a.meta_window.minimized)[0] || false')" = true ]
}
refusals() { grep -c '^trimlet: no capture: ' "$TOP/err.log"; }
touch "$TOP/before-start"

# Start-up: nothing on the clipboard, no permission. The empty view, no question, and the
# portal not even started.
QT_QPA_PLATFORM=wayland spawn "$PROGRAM" 2>"$TOP/err.log"
pid=$!
wait_caption "選択(1,1)-(0,0) W=0 H=0"
question_shown && fail "start-up asked a question"
portal_running && fail "start-up went to the portal"
close_window
wait_until 10 sh -c "! kill -0 $pid 2>/dev/null" || kill "$pid"
wait_until 5 sh -c "! kill -0 $pid 2>/dev/null" || fail "the first run did not end"

printf '[Wait]\nCapture=500\n' >"$TOP/trimlet.ini"
solid first.png 300 200 red
clipboard_put_png first.png
QT_QPA_PLATFORM=wayland spawn "$PROGRAM" 2>"$TOP/err.log"
wait_caption "選択(1,1)-(300,200) W=300 H=200"
find_picture "63,255,255"

# Refused: the focus starts on the question's "Deny".
mark
press_capture
wait_until 20 question_shown || fail "no question came"
our_window_shown || fail "the window left the screen before the question was answered"
focus_title | grep -q '^選択' || fail "the window lost the focus: '$(focus_title)'"
key space
start=$(date +%s.%N)
wait_until 5 sh -c '[ "$(grep -c "^trimlet: no capture: " "$0")" = 1 ]' "$TOP/err.log" ||
    fail "no line on standard error after the refusal: $(cat "$TOP/err.log")"
end=$(date +%s.%N)
printf 'refusal to the end of the capture: %.2f s (%s)\n' "$(awk "BEGIN { print $end - $start }")" \
    "$(grep '^trimlet: no capture: ' "$TOP/err.log")"
caption_is "選択(1,1)-(300,200) W=300 H=200" || fail "the view changed: $(caption)"
[ "$(js "global._created.slice($MARK_CREATED).length")" = 0 ] ||
    fail "the window left the screen and came back for a refused capture"
store Lookup | grep -q "'': \['no'\]" || fail "no stored refusal: $(store Lookup)"

# A stored refusal: the next capture ends at once, asking nothing.
press_capture
wait_until 5 sh -c '[ "$(grep -c "^trimlet: no capture: " "$0")" = 2 ]' "$TOP/err.log" ||
    fail "the second capture did not end with a line on standard error"
question_shown && fail "a stored refusal asked again"
caption_is "選択(1,1)-(300,200) W=300 H=200" || fail "the view changed: $(caption)"

# Allowed: the question comes again once the refusal is forgotten; Tab moves to "Allow".
store Delete >/dev/null || fail "cannot forget the refusal"
press_capture
wait_until 20 question_shown || fail "no question came after the refusal was forgotten"
our_window_shown || fail "the window left the screen before the question was answered"
key Tab
wait_until 5 focus_on_allow || fail "the keyboard focus did not reach Allow"
key space
wait_caption "選択(1,1)-(1024,768) W=1024 H=768" 20
wl-paste -t image/png >"$TOP/got.png" || fail "nothing on the clipboard after the capture"
diff=$(compare -metric AE "$TOP/got.png[$SCREEN_AREA]" "$TOP/known.png[$SCREEN_AREA]" null: 2>&1)
[ "$diff" = 0 ] || fail "the captured picture differs from the screen's picture in $diff pixels"
store Lookup | grep -q "'': \['yes'\]" || fail "no stored permission: $(store Lookup)"

# Later captures ask nothing.
solid second.png 50 50 blue
clipboard_put_png second.png
press_reload
wait_caption "選択(1,1)-(50,50) W=50 H=50"
press_capture
asked=0
for _ in $(seq 200); do
    question_shown && asked=1
    caption_is "選択(1,1)-(1024,768) W=1024 H=768" && break
    sleep 0.1
done
[ "$asked" = 0 ] || fail "a capture after the permission asked again"
caption_is "選択(1,1)-(1024,768) W=1024 H=768" || fail "the capture after the permission failed: $(caption)"
[ "$(refusals)" = 2 ] || fail "unexpected lines on standard error: $(cat "$TOP/err.log")"

left=$({
    find "$HOME" -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \)
    find /tmp -maxdepth 3 -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \) \
        -user "$(id -u)" 2>/dev/null | grep -v "^$TOP/" | grep -v "^${WL_SHOTS:-/nonexistent}/"
} 2>/dev/null)
[ -z "$left" ] || fail "screenshot files left behind: $left"
[ -d "$HOME/Pictures" ] && fail "a pictures folder was left in the home folder: $(find "$HOME/Pictures")"
echo "PASS: the desktop's question comes over the shown window at the first capture only"
