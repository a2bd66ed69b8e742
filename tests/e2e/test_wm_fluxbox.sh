# The main window's placement under fluxbox.
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1
WM=fluxbox
source "$(dirname "$0")/wm_checks.sh"
