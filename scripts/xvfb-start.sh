#!/bin/sh
# Starts Xvfb on a free display and prints the shell line that points programs at it:
#   eval "$(scripts/xvfb-start.sh [WxHxD])"     -> DISPLAY and XVFB_PID are set
#   ...; kill "$XVFB_PID"
# Xvfb picks the display number itself (-displayfd), so parallel runs do not collide.
set -e
screen=${1:-1280x1024x24}
command -v Xvfb >/dev/null 2>&1 || { echo "xvfb-start.sh: Xvfb not found (apt-get install xvfb)" >&2; exit 127; }
fifo=$(mktemp -u)
mkfifo "$fifo"
trap 'rm -f "$fifo"' EXIT
# Its output goes nowhere: a caller's $(...) would otherwise wait for the server to exit.
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
pid=$!
num=
read -r num <"$fifo" || true
case "$num" in
'' | *[!0-9]*)
    kill "$pid" 2>/dev/null || true
    echo "xvfb-start.sh: Xvfb did not start" >&2
    exit 1
    ;;
esac
echo "export DISPLAY=:$num XVFB_PID=$pid"
