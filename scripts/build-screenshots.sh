#!/usr/bin/env bash
# A build of the demo workspace as a person runs it, pictured: starts Pelorix under a virtual X
# server (Xvfb at 96 DPI, no window manager), presses F5 in the main window with xdotool, waits
# for the run's report and saves PNG pictures into build-run/screenshots/ (or the folder given):
# the whole screen as the person sees it (the build log window opens over the main window's top,
# the report in its middle), then each window alone, moved apart: the main window before and after
# the run, the progress window while it runs and with its report, the build log window.
# The demo workspace is made afresh first (a run saves its marks into the demo list).
# With --windows the same with pelorix.exe under Wine (Qt's windows platform, drawn by Wine's GDI)
# on the Windows demo workspace (./run.sh --windows), into build-windows-run/screenshots/.
# Usage: scripts/build-screenshots.sh [--windows] [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
system=linux
if [ "${1:-}" = --windows ]; then
    system=windows
    shift
fi
if [ "$system" = linux ]; then
    out=$(realpath -m "${1:-build-run/screenshots}")
    rm -f demo/.made
    ./run.sh --prepare >/dev/null
    export WINEPREFIX=$PWD/demo/prefix PELORIX_HOME=$PWD/demo/home
    export START="build-run/bin/pelorix"
else
    out=$(realpath -m "${1:-build-windows-run/screenshots}")
    rm -f demo-windows/.made
    ./run.sh --windows --prepare >/dev/null
    export WINEPREFIX=$PWD/demo-windows/prefix PELORIX_HOME="Z:${PWD//\//\\}\\demo-windows\\home" WINEDEBUG=-all
    wine=$(command -v wine || echo /usr/lib/wine/wine)
    export START="$wine build-windows-run/bin/pelorix.exe"
fi
mkdir -p "$out"
rm -f "$out"/*.png
export OUT=$out
xvfb-run -a -s "-screen 0 1600x1200x24 -dpi 96" bash -c '
    # The first visible window whose title matches, or nothing after about thirty seconds (Wine
    # starts a program slower).
    find_window() {
        local id
        for _ in $(seq 300); do
            id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1) && [ -n "$id" ] && { echo "$id"; return 0; }
            sleep 0.1
        done
        return 1
    }
    shoot() { import -window "$1" "$OUT/$2.png" && echo "Saved $OUT/$2.png"; }

    $START &
    pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    main=$(find_window "^Pelorix Ver") || { echo "The main window did not appear." >&2; exit 1; }
    sleep 1
    shoot "$main" main-before
    xdotool windowfocus --sync "$main" key F5
    # While the run goes on the progress window says what it builds.
    running=$(find_window "^ﾋﾞﾙﾄﾞ中") && shoot "$running" progress-running
    # The report replaces the running caption when the run is over.
    report=$(find_window "^(完了|警告|中断)$") || { echo "The build did not end." >&2; exit 1; }
    log=$(find_window "^ﾋﾞﾙﾄﾞﾛｸﾞ")
    sleep 0.5
    import -window root "$OUT/screen.png" && echo "Saved $OUT/screen.png"
    # Without a window manager a covered part of a window pictures black: move them apart.
    xdotool windowmove "$log" 0 560 windowmove "$report" 800 60
    # Wine repaints a window once it has been moved; a window without Wine keeps its picture.
    xdotool windowmove "$main" 1 0 && sleep 0.3 && xdotool windowmove "$main" 0 0
    sleep 0.5
    shoot "$main" main-after
    shoot "$report" progress-report
    shoot "$log" build-log
'
