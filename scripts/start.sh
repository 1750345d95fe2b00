#!/usr/bin/env bash
# Installs what is missing, builds the tuner and the simulated drive, starts the drive on COM1 and
# opens the tuner against it. "bash scripts/start.sh qz318" opens the QZ318 tuner instead of qztune-x7.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

variant=${1:-x7}
case "$variant" in
    x7) program=qztune-x7 ;;
    qz318) program=QZ318 ;;
    *) echo "usage: $0 [x7|qz318]" >&2; exit 2 ;;
esac

install_missing_packages
build_project "$program" qzdrive-sim

log=$(mktemp -t qzdrive-sim.XXXXXX.log)
build/bin/qzdrive-sim --variant "$variant" --port COM1 >"$log" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null' EXIT
sleep 1
kill -0 "$sim" 2>/dev/null || { cat "$log" >&2; exit 1; }
head -n 1 "$log"
echo "The simulated drive logs every request to $log"

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display here: the tuner runs under a virtual X server (Xvfb) where nobody sees it."
    xvfb-run -a "build/bin/$program"
else
    "build/bin/$program"
fi
