# Sourced by session.sh: a portal that fails (its screenshot cannot be written) leaves
# the view's picture as it was; the window comes back.
[ -e /tmp/out.png ] && skip "a stale /tmp/out.png (the wlr portal's screenshot file) is in the way"
# xdg-desktop-portal-wlr writes every screenshot to /tmp/out.png: a folder there makes
# the write fail.
mkdir /tmp/out.png || skip "cannot block /tmp/out.png"
trap 'rmdir /tmp/out.png 2>/dev/null; stop_spawned' EXIT
start_for_capture
solid second.png 64 64 blue
clipboard_put_png second.png  # a failed capture must not show this either
press_capture
for _ in $(seq 150); do
    portal_running && break
    sleep 0.1
done
portal_running || fail "the capture did not ask the portal"
# The portal is asked with the window off the screen; the window comes back once the
# capture has failed, its view settled in the same step that shows it again.
wait_until 15 caption_matches '選択' || fail "the window did not come back"
[ "$(caption)" = "選択(1,1)-(300,200) W=300 H=200" ] || fail "the view changed: $(caption)"
find_picture "63,255,255"
shot kept.png
echo "PASS: a failing portal keeps the view"
