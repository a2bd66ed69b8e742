# The main window's placement under openbox.
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1
WM=openbox
source "$(dirname "$0")/wm_checks.sh"
