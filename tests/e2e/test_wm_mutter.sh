# The main window's placement, and capture, under mutter (compositing).
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1
WM=mutter
source "$(dirname "$0")/wm_checks.sh"
