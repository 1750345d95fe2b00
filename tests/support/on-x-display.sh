#!/usr/bin/env bash
# Runs a test program on an X server of its own (Xvfb on a display it chooses), with Qt's X
# platform: key bindings, focus and activation as a Linux desktop gives them, where the offscreen
# platform answers as Windows does. Exits with 77 (skipped) on a machine without Xvfb.
#
# Usage: on-x-display.sh PROGRAM [ARGUMENTS...]
set -euo pipefail
command -v Xvfb >/dev/null || { echo "no X server program (Xvfb) on this machine" >&2; exit 77; }

number_file=$(mktemp)
# -displayfd: the server picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$number_file" 2>/dev/null &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -f "$number_file"' EXIT
for _ in $(seq 200); do
    [ -s "$number_file" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
done
number=$(head -n 1 "$number_file")
[ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }

DISPLAY=":$number" QT_QPA_PLATFORM=xcb "$@"
