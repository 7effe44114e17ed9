#!/usr/bin/env bash
# Measures what Pelorix adds to the compiler in a build run: `pelorix-cli build` of 100 projects
# (20 reference lines each, 5 000 type-library registrations in the prefix, LogWaitTime=0, the
# stand-in compiler succeeding at once) against a plain shell loop that runs the stand-in 100
# times with the same arguments. Prints both times, the ratio and Pelorix's own time per project.
#
# Usage: benchmarks/build-benchmark.sh [build-folder]   (default build-bench, a Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${PELORIX_BENCH_RUNS:-3}

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target pelorix-cli vb6-standin >/dev/null
cli=$PWD/$build/bin/pelorix-cli
standin=$PWD/$build/bin/vb6-standin

work=$(mktemp -d /tmp/pelorix-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
home=$work/home
mkdir -p "$prefix/dosdevices" "$prefix/drive_c/Libs" "$home" "$work/pristine"
ln -s ../drive_c "$prefix/dosdevices/c:"
ln -s / "$prefix/dosdevices/z:"
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

# 5 000 registrations: 2 500 libraries, each in two versions; the later one is newer.
# The registry file writes backslashes and quotes escaped.
command="\"$(winpath "$standin")\" \"%1\""
command=${command//\\/\\\\}
STANDIN_COMMAND=${command//\"/\\\"} awk 'BEGIN {
    cmd = ENVIRON["STANDIN_COMMAND"]
    printf "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n"
    printf "[Software\\\\Classes\\\\.vbp] 1700000000\n@=\"VisualBasic.Project\"\n\n"
    for (i = 0; i < 2500; i++) {
        guid = sprintf("{%08X-0000-4000-8000-%012X}", i, i)
        for (v = 0; v < 2; v++)
            printf "[Software\\\\Classes\\\\Typelib\\\\%s\\\\1.%d\\\\0\\\\win32] %d\n@=\"C:\\\\Libs\\\\Lib%04d.dll\"\n\n", guid, v, 1700000000 + v * 1000 + i, i
    }
    printf "[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@=\"%s\"\n", cmd
}' >"$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' >"$prefix/user.reg"

# 100 projects with 20 reference lines each, and the list that marks them all.
list="[ProjectName]"$'\r\n'
state=""
for n in $(seq 1 100); do
    {
        printf 'Type=Exe\r\n'
        for r in $(seq 0 19); do
            i=$(((n * 20 + r) % 2500))
            printf 'Reference=*\\G{%08X-0000-4000-8000-%012X}#1.0#0#C:\\Libs\\Lib%04d.dll#Library %d\r\n' "$i" "$i" "$i" "$i"
        done
        printf 'Name="Proj%03d"\r\nCompatibleMode="0"\r\nStartMode=0\r\n' "$n"
    } >"$work/pristine/Proj$n.vbp"
    list+="C:\\Projects\\Proj$n.vbp"$'\r\n'
    state+="$n,"
done
printf '%s[Build]\r\nEnableState=%s\r\n' "$list" "$state" >"$work/list.ini"
printf '[Build]\r\nLogWaitTime=0\r\nRebuildHideConfirm=1\r\n' >"$home/Pelorix.ini"

export WINEPREFIX=$prefix PELORIX_HOME=$home
unset PELORIX_STANDIN_RECORD
reset_projects() {
    rm -rf "$prefix/drive_c/Projects"
    mkdir -p "$prefix/drive_c/Projects"
    cp "$work/pristine/"*.vbp "$prefix/drive_c/Projects/"
}
now() { date +%s%N; }

best_cli=""
best_loop=""
home_win=$(winpath "$home")
for _ in $(seq 1 "$runs"); do
    reset_projects
    t0=$(now)
    "$cli" build "$work/list.ini" >"$work/cli.out" || { tail -5 "$work/cli.out"; exit 1; }
    t1=$(now)
    grep -q '^result=0' "$work/cli.out"
    cli_ns=$((t1 - t0))

    reset_projects
    t0=$(now)
    for n in $(seq 1 100); do
        "$standin" /out "$home_win\\Proj$(printf %03d "$n").log" /make "C:\\Projects\\Proj$n.vbp" >/dev/null
    done
    t1=$(now)
    loop_ns=$((t1 - t0))
    rm -f "$home"/*.log
    if [ -z "$best_cli" ] || [ "$cli_ns" -lt "$best_cli" ]; then best_cli=$cli_ns; fi
    if [ -z "$best_loop" ] || [ "$loop_ns" -lt "$best_loop" ]; then best_loop=$loop_ns; fi
done

awk -v c="$best_cli" -v l="$best_loop" 'BEGIN {
    printf "pelorix-cli build, 100 projects: %8.1f ms\n", c / 1e6
    printf "shell loop, 100 stand-in runs:   %8.1f ms\n", l / 1e6
    printf "ratio:                           %8.2f\n", c / l
    printf "Pelorix per project:             %8.2f ms (goal: under 5 ms)\n", (c - l) / 1e6 / 100
}'
