#!/bin/bash
# Runs a command under an Xvfb server of its own:  xvfb.sh SCREEN COMMAND [ARG...]
# (SCREEN as WIDTHxHEIGHTxDEPTH). The server picks a free display number itself and
# reports it when it accepts connections, so two runs cannot pick the same number, and
# the run ends only once the server has gone, so the next run never meets a server
# still shutting down on its number. Returns the command's status.
set -u
screen=$1
shift
command -v Xvfb > /dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

fifo=$(mktemp -u "${TMPDIR:-/tmp}/xvfb.XXXXXX")
mkfifo "$fifo" || exit 1
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3> "$fifo" > /dev/null 2>&1 &
server=$!
number=""
read -r -t 15 number < "$fifo"
rm -f "$fifo"
if [ -z "$number" ]; then
    kill "$server" 2> /dev/null
    wait "$server" 2> /dev/null
    echo "FAIL: Xvfb did not start"
    exit 1
fi

DISPLAY=:$number "$@"
status=$?
kill "$server" 2> /dev/null
wait "$server" 2> /dev/null
exit $status
