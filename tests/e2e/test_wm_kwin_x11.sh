# The main window's placement, and capture, under kwin_x11 (compositing).
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1
WM=kwin_x11
source "$(dirname "$0")/wm_checks.sh"
