#!/usr/bin/env bash
# The window program's start: from the start of the process until its main window shows, on the
# demo workspace (Linux: build-run/bin/pelorix; --windows: pelorix.exe under Wine, with its prefix's
# session already up, as a user's desktop has it). Needs an X display (run under xvfb-run) and the
# workspace prepared (./run.sh --prepare, ./run.sh --windows --prepare). Prints the seconds.
# Usage: benchmarks/window-start.sh [--windows]
#   benchmarks/window-start.sh is the one run a timing tool repeats; for example
#   xvfb-run -a bash -c 'for i in 1 2 3 4 5; do benchmarks/window-start.sh; benchmarks/window-start.sh --windows; done'
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = --windows ]; then
    wine=$(command -v wine || echo /usr/lib/wine/wine)
    export WINEPREFIX=$PWD/demo-windows/prefix WINEDEBUG=-all PELORIX_HOME="Z:${PWD//\//\\}\\demo-windows\\home"
    program=("$wine" build-windows-run/bin/pelorix.exe)
else
    export WINEPREFIX=$PWD/demo/prefix PELORIX_HOME=$PWD/demo/home
    program=(build-run/bin/pelorix)
fi
start=$(date +%s.%N)
"${program[@]}" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true' EXIT
until xdotool search --onlyvisible --name '^Pelorix Ver' >/dev/null 2>&1; do
    kill -0 $pid 2>/dev/null || { echo "window-start: the program ended without a window" >&2; exit 1; }
    sleep 0.02
done
awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f\n", b - a }'
