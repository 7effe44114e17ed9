#!/usr/bin/env bash
# Measures how long the window program's event loop stands still while it builds the demo
# workspace: eventloop_pause starts the main window on the demo list, ticks a 10 ms timer and
# presses the build button; each run prints the gaps between ticks (median, 99th percentile,
# longest). The aim for the longest gap is under 50 ms. Every run starts from a fresh demo
# workspace (a run saves its marks into the demo list). Runs under Xvfb when it is installed and there is no display, else offscreen.
#
# Usage: benchmarks/eventloop-pause.sh [build-folder]   (default build-bench-ui)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench-ui}
runs=${PELORIX_BENCH_RUNS:-3}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELORIX_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target eventloop_pause >/dev/null
program=$PWD/$build/benchmarks/eventloop_pause

export WINEPREFIX=$PWD/demo/prefix PELORIX_HOME=$PWD/demo/home
for run in $(seq "$runs"); do
    rm -f demo/.made
    ./run.sh --prepare >/dev/null
    printf 'run %s: ' "$run"
    if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
        xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" "$program"
    else
        QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$program"
    fi
done
