#!/usr/bin/env bash
# Measures `pelorix-cli build --changed` on 100 projects of 20 source files each (8 forms with
# their .frx, 8 modules, 4 classes; 5 registered references each), the stand-in compiler
# succeeding at once. Proj001 is a library whose output Proj002 and Proj003 use. Three builds:
#   first    no state file yet: every project compiles and the state is written;
#   second   nothing changed: no project compiles (goal: under 1 second for the 100 projects);
#   touched  one source file of Proj001 changed: exactly three compiles (it and its two users).
# Prints the elapsed time of each (the best of PELORIX_BENCH_RUNS runs, default 3) and the number
# of compiles each ran, counted from what the stand-in recorded.
#
# Usage: benchmarks/changed-build-benchmark.sh [build-folder]   (default build-bench, Release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${PELORIX_BENCH_RUNS:-3}

source benchmarks/cli-workspace.sh
cli_workspace "$build"

{
    printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n'
    printf '[Software\\\\Classes\\\\.vbp] 1700000000\n@="VisualBasic.Project"\n\n'
    for i in $(seq 0 19); do
        printf '[Software\\\\Classes\\\\Typelib\\\\{%08X-0000-4000-8000-%012X}\\\\1.0\\\\0\\\\win32] 1700000000\n@="C:\\\\Libs\\\\Lib%02d.dll"\n\n' "$i" "$i" "$i"
    done
    printf '[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@="%s"\n' "$standin_command"
} >"$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
    >"$prefix/user.reg"
touch -d '1 hour ago' "$prefix/system.reg" "$prefix/user.reg"
mkdir -p "$prefix/drive_c/Libs"
for i in $(seq 0 19); do head -c 65536 /dev/urandom >"$prefix/drive_c/Libs/Lib$(printf %02d "$i").dll"; done

# A source file of about 4 KB.
body=$(for l in $(seq 1 100); do printf "    Debug.Print \"line %03d of the procedure\"\r\n" "$l"; done)
make_projects() {
    rm -rf "$prefix/drive_c/Projects"
    local n dir f i
    for n in $(seq -f %03g 1 100); do
        dir=$prefix/drive_c/Projects/Proj$n
        mkdir -p "$dir"
        {
            if [ "$n" = 001 ]; then printf 'Type=OleDll\r\nExeName32="Lib001.dll"\r\nPath32="..\\Bin"\r\n'; else printf 'Type=Exe\r\n'; fi
            for i in $(seq 0 4); do
                f=$(((10#$n + i) % 20))
                printf 'Reference=*\\G{%08X-0000-4000-8000-%012X}#1.0#0#C:\\Libs\\Lib%02d.dll#Library %d\r\n' "$f" "$f" "$f" "$f"
            done
            if [ "$n" = 002 ] || [ "$n" = 003 ]; then
                printf 'Reference=*\\G{0000AAAA-0000-4000-8000-000000000001}#1.0#0#..\\Bin\\Lib001.dll#Lib001\r\n'
            fi
            for i in $(seq 1 8); do printf 'Form=Form%d.frm\r\n' "$i"; done
            for i in $(seq 1 8); do printf 'Module=Module%d; Module%d.bas\r\n' "$i" "$i"; done
            for i in $(seq 1 4); do printf 'Class=Class%d; Class%d.cls\r\n' "$i" "$i"; done
            printf 'Name="Proj%s"\r\nCompatibleMode="0"\r\nStartMode=0\r\n' "$n"
        } >"$dir/Proj$n.vbp"
        for i in $(seq 1 8); do
            printf 'VERSION 5.00\r\n%s' "$body" >"$dir/Form$i.frm"
            head -c 2048 /dev/zero >"$dir/Form$i.frx"
            printf 'Attribute VB_Name = "Module%d"\r\n%s' "$i" "$body" >"$dir/Module$i.bas"
        done
        for i in $(seq 1 4); do printf 'VERSION 1.0 CLASS\r\n%s' "$body" >"$dir/Class$i.cls"; done
    done
}

list="[ProjectName]"$'\r\n'
for n in $(seq -f %03g 1 100); do list+="C:\\Projects\\Proj$n\\Proj$n.vbp"$'\r\n'; done
printf '%s' "$list" >"$work/list.ini"
printf '[Build]\r\nLogWaitTime=0\r\nRebuildHideConfirm=1\r\n' >"$home/Pelorix.ini"

export WINEPREFIX=$prefix PELORIX_HOME=$home PELORIX_STANDIN_RECORD=$work/record
# build NAME: one --changed build of every project; sets ms (elapsed) and compiles.
build() {
    local start end
    : >"$work/record"
    start=$(date +%s%N)
    "$cli" build "$work/list.ini" --all --changed >"$work/$1.out" || { tail -5 "$work/$1.out"; exit 1; }
    end=$(date +%s%N)
    ms=$(((end - start) / 1000000))
    compiles=$(grep -c '^args ' "$work/record" || true)
}

best_first=0 best_second=0 best_touched=0
for _ in $(seq 1 "$runs"); do
    make_projects
    rm -f "$work/list.ini.buildstate"
    build first
    [ "$compiles" -eq 100 ] || { echo "first build: $compiles compiles, not 100"; exit 1; }
    [ "$best_first" -gt 0 ] && [ "$best_first" -le "$ms" ] || best_first=$ms
    build second
    [ "$compiles" -eq 0 ] || { echo "second build: $compiles compiles, not 0"; exit 1; }
    [ "$(grep -c '^SKIP' "$work/second.out")" -eq 100 ] || { echo "second build: not every project SKIP"; exit 1; }
    [ "$best_second" -gt 0 ] && [ "$best_second" -le "$ms" ] || best_second=$ms
    printf "' touched\r\n" >>"$prefix/drive_c/Projects/Proj001/Module3.bas"
    build touched
    [ "$compiles" -eq 3 ] || { echo "touched build: $compiles compiles, not 3"; exit 1; }
    [ "$best_touched" -gt 0 ] && [ "$best_touched" -le "$ms" ] || best_touched=$ms
done

echo "pelorix-cli build --changed, 100 projects of 20 source files (best of $runs runs)"
printf '  first build (no state):          %6d ms  100 compiles\n' "$best_first"
printf '  second build (nothing changed):  %6d ms    0 compiles (goal: under 1000 ms)\n' "$best_second"
printf '  one source of a library touched: %6d ms    3 compiles\n' "$best_touched"
