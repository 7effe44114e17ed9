#!/usr/bin/env bash
# Measures what Pelorix adds to the compiler in a build run: `pelorix-cli build` of 100 projects
# (20 reference lines and 5 component lines each, the components drawn from 20 controls as in a
# real code base; component update on, LogWaitTime=0, the stand-in compiler succeeding at once)
# against a plain shell loop that runs the stand-in 100 times with the same arguments, once for
# each registry size. Prints both times, the ratio and Pelorix's own time per project:
# (build - loop) / 100, which includes the program's start, the registry files' parsing and the
# first walk of the run. It does so for the elapsed time and for the processor time (user and
# system, the stand-in's included on both sides): on a machine shared with other work the
# elapsed time also counts waiting for a processor, the processor time does not. With perf
# installed it also prints the processor time of pelorix-cli alone (its task clock, without the
# stand-in's), per project, and split into a build of one project (the program's start and the
# registry's reading, once per run) and what each further project adds.
#
# The registry files are dated an hour back, as the files of a prefix that the wineserver saved
# before the build; files written within the last two seconds would be compared byte for byte on
# every walk, because their size and time cannot yet tell a change.
#
# Usage: benchmarks/build-benchmark.sh [build-folder]   (default build-bench, a Release build)
# PELORIX_BENCH_SIZES: the registration counts to measure (default "5000 50000");
# PELORIX_BENCH_RUNS: runs per size, the best one counts (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${PELORIX_BENCH_RUNS:-3}
sizes=${PELORIX_BENCH_SIZES:-5000 50000}

source benchmarks/cli-workspace.sh
cli_workspace "$build"
mkdir -p "$prefix/drive_c/Libs" "$work/pristine"

# N registrations: N/2 libraries in two versions (the later one newer), every tenth a control
# (Ctl####.ocx). The registry file writes backslashes and quotes escaped.
write_registry() {
    STANDIN_COMMAND=$standin_command LIBRARIES=$(($1 / 2)) awk 'BEGIN {
        cmd = ENVIRON["STANDIN_COMMAND"]; n = ENVIRON["LIBRARIES"]
        printf "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n"
        printf "[Software\\\\Classes\\\\.vbp] 1700000000\n@=\"VisualBasic.Project\"\n\n"
        for (i = 0; i < n; i++) {
            guid = sprintf("{%08X-0000-4000-8000-%012X}", i, i)
            file = i % 10 == 0 ? sprintf("Ctl%04d.ocx", i) : sprintf("Lib%04d.dll", i)
            for (v = 0; v < 2; v++)
                printf "[Software\\\\Classes\\\\Typelib\\\\%s\\\\1.%d\\\\0\\\\win32] %d\n@=\"C:\\\\Libs\\\\%s\"\n\n", guid, v, 1700000000 + v * 1000 + i, file
        }
        printf "[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@=\"%s\"\n", cmd
    }' >"$prefix/system.reg"
    printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
        >"$prefix/user.reg"
    touch -d '1 hour ago' "$prefix/system.reg" "$prefix/user.reg"
}

# 100 projects with 20 reference lines and 5 component lines each, from the first 2 500
# libraries, and the list that marks them all.
list="[ProjectName]"$'\r\n'
state=""
for n in $(seq 1 100); do
    {
        printf 'Type=Exe\r\n'
        for r in $(seq 0 19); do
            i=$(((n * 20 + r) % 2500))
            [ $((i % 10)) -ne 0 ] || i=$((i + 1)) # a library, not a control
            printf 'Reference=*\\G{%08X-0000-4000-8000-%012X}#1.0#0#C:\\Libs\\Lib%04d.dll#Library %d\r\n' "$i" "$i" "$i" "$i"
        done
        for c in $(seq 0 4); do
            i=$((((n + c * 7) % 20) * 10))
            printf 'Object={%08X-0000-4000-8000-%012X}#1.0#0; Ctl%04d.ocx\r\n' "$i" "$i" "$i"
        done
        printf 'Name="Proj%03d"\r\nCompatibleMode="0"\r\nStartMode=0\r\n' "$n"
    } >"$work/pristine/Proj$n.vbp"
    list+="C:\\Projects\\Proj$n.vbp"$'\r\n'
    state+="$n,"
done
printf '%s[Build]\r\nEnableState=%s\r\n' "$list" "$state" >"$work/list.ini"
printf '[ProjectName]\r\nC:\\Projects\\Proj1.vbp\r\n[Build]\r\nEnableState=1,\r\n' >"$work/one.ini"
printf '[Build]\r\nLogWaitTime=0\r\nRebuildHideConfirm=1\r\n[Option]\r\nUpdateComponentReference=1\r\n' \
    >"$home/Pelorix.ini"

export WINEPREFIX=$prefix PELORIX_HOME=$home
unset PELORIX_STANDIN_RECORD
reset_projects() {
    rm -rf "$prefix/drive_c/Projects"
    mkdir -p "$prefix/drive_c/Projects"
    cp "$work/pristine/"*.vbp "$prefix/drive_c/Projects/"
}
# timed FILE COMMAND...: runs the command, writes "elapsed cpu" (nanoseconds) to FILE.
timed() {
    local out=$1 TIMEFORMAT='%3R %3U %3S' t
    shift
    t=$({ time "$@" >/dev/null; } 2>&1) || return 1
    awk -v t="$t" 'BEGIN { split(t, f, " "); printf "%.0f %.0f\n", f[1] * 1e9, (f[2] + f[3]) * 1e9 }' >"$out"
}
# own_time LIST: the task clock of pelorix-cli alone building the list (nanoseconds).
own_time() {
    perf stat --no-inherit -x, -e task-clock -o "$work/perf" "$cli" build "$1" >/dev/null
    awk -F, '/task-clock/ { printf "%.0f", $1 * 1e6 }' "$work/perf"
}
run_loop() {
    local n number
    for ((n = 1; n <= 100; n++)); do
        printf -v number %03d "$n"
        "$standin" /out "$home_win\\Proj$number.log" /make "C:\\Projects\\Proj$n.vbp" >/dev/null
    done
}

home_win=$(winpath "$home")
for size in $sizes; do
    write_registry "$size"
    # build elapsed and processor, loop elapsed and processor, pelorix-cli alone for 100 and 1
    best=(0 0 0 0 0 0)
    for _ in $(seq 1 "$runs"); do
        reset_projects
        timed "$work/t" "$cli" build "$work/list.ini" || { "$cli" build "$work/list.ini" | tail -5; exit 1; }
        read -r b_wall b_cpu <"$work/t"
        # Every reference and component line was brought to the newer version.
        [ "$(grep -c '#1\.1#0' "$prefix/drive_c/Projects/Proj1.vbp")" -eq 25 ] ||
            { echo "Proj1.vbp was not brought up to date"; exit 1; }

        if command -v perf >/dev/null; then
            reset_projects
            own=$(own_time "$work/list.ini")
            [ "${best[4]}" -gt 0 ] && [ "${best[4]}" -le "$own" ] || best[4]=$own
            reset_projects
            own=$(own_time "$work/one.ini")
            [ "${best[5]}" -gt 0 ] && [ "${best[5]}" -le "$own" ] || best[5]=$own
        fi

        reset_projects
        timed "$work/t" run_loop
        read -r l_wall l_cpu <"$work/t"
        rm -f "$home"/*.log
        [ "${best[0]}" -gt 0 ] && [ "${best[0]}" -le "$b_wall" ] || best[0]=$b_wall
        [ "${best[1]}" -gt 0 ] && [ "${best[1]}" -le "$b_cpu" ] || best[1]=$b_cpu
        [ "${best[2]}" -gt 0 ] && [ "${best[2]}" -le "$l_wall" ] || best[2]=$l_wall
        [ "${best[3]}" -gt 0 ] && [ "${best[3]}" -le "$l_cpu" ] || best[3]=$l_cpu
    done

    awk -v n="$size" -v bw="${best[0]}" -v bc="${best[1]}" -v lw="${best[2]}" -v lc="${best[3]}" -v own="${best[4]}" -v one="${best[5]}" 'BEGIN {
        printf "%d registrations (best of the runs)     elapsed  processor\n", n
        printf "  pelorix-cli build, 100 projects: %8.1f ms %8.1f ms\n", bw / 1e6, bc / 1e6
        printf "  shell loop, 100 stand-in runs:   %8.1f ms %8.1f ms\n", lw / 1e6, lc / 1e6
        printf "  ratio:                           %8.2f    %8.2f\n", bw / lw, bc / lc
        printf "  Pelorix per project:             %8.2f ms %8.2f ms (goal: under 2 ms)\n", (bw - lw) / 1e8, (bc - lc) / 1e8
        if (own > 0) {
            printf "  pelorix-cli alone, per project:             %8.2f ms\n", own / 1e8
            printf "    a build of one project:                   %8.2f ms\n", one / 1e6
            printf "    each further project:                     %8.2f ms\n", (own - one) / 99e6
        }
    }'
done
