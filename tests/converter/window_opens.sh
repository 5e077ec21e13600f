#!/bin/bash
# plotwane with no arguments and a display opens its window within a few seconds; without a
# display it stays the terminal converter and asks for its arguments.
set -u
plotwane=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
"$plotwane" 2>"$log" &
pid=$!
opened=0
for _ in $(seq 1 100); do
    if xwininfo -root -tree | grep -q '"Plotwane"'; then opened=1; break; fi
    if ! kill -0 "$pid" 2>/dev/null; then break; fi
    sleep 0.1
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
if [ "$opened" != 1 ]; then
    echo "the window did not open; plotwane said:" >&2
    cat "$log" >&2
    exit 1
fi
env -u DISPLAY "$plotwane" >/dev/null 2>&1
status=$?
if [ "$status" != 2 ]; then echo "without a display: exit $status, not 2" >&2; exit 1; fi
echo "window opened; terminal mode without a display"
