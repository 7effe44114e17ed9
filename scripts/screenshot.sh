#!/usr/bin/env bash
# Starts Pelorix on the demo workspace under a virtual X server (Xvfb at 96 DPI, no window
# manager) and saves a picture of its main window: build-run/screenshot.png, or the path given.
# Usage: scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build-run/screenshot.png}")

./run.sh --prepare

export WINEPREFIX=$PWD/demo/prefix PELORIX_HOME=$PWD/demo/home OUT=$out
xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" bash -c '
    build-run/bin/pelorix &
    pid=$!
    id=""
    for _ in $(seq 100); do
        id=$(xdotool search --name "^Pelorix Ver" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    sleep 1
    status=0
    if [ -n "$id" ]; then import -window "$id" "$OUT" || status=$?; else echo "The main window did not appear." >&2; status=1; fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    exit $status
'
echo "Saved $out"
