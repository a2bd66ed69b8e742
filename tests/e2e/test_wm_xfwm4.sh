# The main window's placement under xfwm4 (compositor off).
source "$(dirname "$0")/lib.sh"
APP_BUILT=$1
WM=xfwm4
source "$(dirname "$0")/wm_checks.sh"
