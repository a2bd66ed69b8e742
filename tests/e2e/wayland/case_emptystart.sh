# Sourced by session.sh and kde.sh: started with nothing on the clipboard. A desktop's portal
# may ask the user before its first screenshot unless the permission store holds a standing
# permission, and no store here holds one (these portals keep none): start-up asks nothing
# and takes no picture, so the view is empty and the portal is not even started. (The first
# capture then goes to the portal: case_capture.sh.)
# needs: portal
touch "$TOP/before-start"
QT_QPA_PLATFORM=wayland spawn "$PROGRAM"
wait_caption "選択(1,1)-(0,0) W=0 H=0" 20
portal_running && fail "start-up went to the portal"
left=$({
    find "$HOME" -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \)
    find /tmp -maxdepth 3 -newer "$TOP/before-start" -type f \( -iname '*.png' -o -iname '*.jpg' \) \
        -user "$(id -u)" 2>/dev/null | grep -v "^$TOP/"
} 2>/dev/null)
[ -z "$left" ] || fail "screenshot files left behind: $left"
echo "PASS: start-up with an empty clipboard asks nothing and shows the empty view"
