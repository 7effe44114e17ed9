#!/usr/bin/env bash
# What Pelorix adds to the compiler per project, on Windows (pelorix-cli.exe under Wine, the
# stand-in vb6-standin.exe as the compiler) and on Linux (pelorix-cli, the Linux stand-in), on
# one prefix made by wineboot: 100 projects of 20 reference and 5 component lines each against
# 1000 registrations, each build timed against a bare loop that runs its stand-in 100 times with
# the same arguments (under Wine: one cmd.exe running the loop, so that each side pays one Wine
# start). Own work per project is (build - loop) / 100, best of the runs.
#
# The breakdown beside it, per side: "start" is the front end started with nothing to do
# (--help), "walk" one registration walk ("typelibs" less the start). A build walks the
# registrations before every project and reuses its last walk while the registry is unchanged;
# own work per project near the walk means that the reuse failed. "compiler" is the loop per
# project: what starting the stand-in costs on that side (under Wine a process start is the
# bulk of it).
#
# Usage: benchmarks/wine-build-benchmark.sh [WINDOWS-BUILD] [LINUX-BUILD]
#        (defaults build-windows and build, as scripts/windows-build.sh leaves them)
set -euo pipefail
cd "$(dirname "$0")/.."
absolute() { case $1 in /*) echo "$1" ;; *) echo "$PWD/$1" ;; esac; }
win_build=$(absolute "${1:-build-windows}") linux_build=$(absolute "${2:-build}")
runs=${PELORIX_BENCH_RUNS:-3}
wine_run=$win_build/wine-run.sh
work=$(mktemp -d /tmp/pelorix-wine-bench-XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all
wine=${PELORIX_WINE:-$(command -v wine || echo /usr/lib/wine/wine)}
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=/usr/lib/wine/wineserver
# The prefix's wineserver ends with the run (it is this run's own).
trap '"$server" -k 2>/dev/null || true; [ -n "${PELORIX_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
"$wine" wineboot --init >/dev/null 2>&1
"$server" -w
winpath() { printf 'Z:%s' "${1//\//\\}"; }
home=$work/home && mkdir -p "$home" "$WINEPREFIX/drive_c/Libs" "$work/pristine"

# 500 libraries in two versions, every tenth a control.
{
    printf 'REGEDIT4\r\n\r\n'
    for ((i = 0; i < 500; i++)); do
        file=$([ $((i % 10)) -eq 0 ] && printf 'Ctl%04d.ocx' $i || printf 'Lib%04d.dll' $i)
        for v in 0 1; do
            printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\{%08X-0000-4000-8000-%012X}\\1.%d\\0\\win32]\r\n@="C:\\\\Libs\\\\%s"\r\n\r\n' $i $i $v "$file"
        done
    done
    printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\.vbp]\r\n@="VisualBasic.Project"\r\n\r\n'
} >"$work/libs.reg"
"$wine" regedit /S "$(winpath "$work/libs.reg")"
set_compiler() {
    "$wine" reg add 'HKLM\Software\Classes\VisualBasic.Project\shell\open\command' /ve /f \
        /d "\"$(winpath "$1")\" \"%1\"" >/dev/null
    "$server" -w
}

list="[ProjectName]"$'\r\n' state=""
for n in $(seq 1 100); do
    {
        printf 'Type=Exe\r\n'
        for r in $(seq 0 19); do
            i=$(((n * 20 + r) % 500))
            [ $((i % 10)) -ne 0 ] || i=$((i + 1))
            printf 'Reference=*\\G{%08X-0000-4000-8000-%012X}#1.0#0#C:\\Libs\\Lib%04d.dll#Library %d\r\n' $i $i $i $i
        done
        for c in $(seq 0 4); do
            i=$((((n + c * 7) % 20) * 10))
            printf 'Object={%08X-0000-4000-8000-%012X}#1.0#0; Ctl%04d.ocx\r\n' $i $i $i
        done
        printf 'Name="Proj%03d"\r\nCompatibleMode="0"\r\nStartMode=0\r\n' "$n"
    } >"$work/pristine/Proj$n.vbp"
    list+="C:\\Projects\\Proj$n.vbp"$'\r\n'
    state+="$n,"
done
printf '%s[Build]\r\nEnableState=%s\r\n' "$list" "$state" >"$WINEPREFIX/drive_c/list.ini"
printf '[Build]\r\nLogWaitTime=0\r\nRebuildHideConfirm=1\r\n[Option]\r\nUpdateComponentReference=1\r\n' >"$home/Pelorix.ini"
reset() { rm -rf "$WINEPREFIX/drive_c/Projects" && mkdir -p "$WINEPREFIX/drive_c/Projects" && cp "$work/pristine/"*.vbp "$WINEPREFIX/drive_c/Projects/"; }
ms() { local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1 || true; t1=$(date +%s%N); echo $(((t1 - t0) / 1000000)); }
# Times a build, which must have built all 100 projects: a failing build is no figure.
build_ms() {
    local t0 t1
    t0=$(date +%s%N)
    "$@" >"$work/build.out" 2>&1 || true
    t1=$(date +%s%N)
    if [ "$(grep -c '^OK' "$work/build.out")" -ne 100 ]; then
        echo "wine-build-benchmark: the build did not build all 100 projects: $*" >&2
        tail -5 "$work/build.out" >&2
        exit 1
    fi
    echo $(((t1 - t0) / 1000000))
}
best() { local b=$1; shift; for v in "$@"; do [ "$v" -lt "$b" ] && b=$v; done; echo "$b"; }

home_win=$(winpath "$home")
{
    for n in $(seq 1 100); do
        printf '"%s" /out "%s\\Proj%03d.log" /make "C:\\Projects\\Proj%d.vbp"\r\n' "$(winpath "$win_build/bin/vb6-standin.exe")" "$home_win" $n $n
    done
} >"$work/loop.bat"
linux_loop() { for n in $(seq 1 100); do "$linux_build/bin/vb6-standin" /out "$home_win\\Proj$(printf %03d $n).log" /make "C:\\Projects\\Proj$n.vbp"; done; }

set_compiler "$win_build/bin/vb6-standin.exe"
# One wineserver for the whole Windows side, so that no figure pays for starting it and loading
# the prefix's registry; it ends before the Linux side's compiler is registered.
"$server" -p
wb=() wl=() ws=() ww=()
for _ in $(seq "$runs"); do
    reset && wb+=("$(PELORIX_HOME=$home_win build_ms "$wine" "$win_build/bin/pelorix-cli.exe" build 'C:\list.ini')")
    reset && wl+=("$(ms "$wine" cmd /c "$(winpath "$work/loop.bat")")")
    ws+=("$(ms "$wine" "$win_build/bin/pelorix-cli.exe" --help)")
    ww+=("$(ms "$wine" "$win_build/bin/pelorix-cli.exe" typelibs)")
done
"$server" -k
set_compiler "$linux_build/bin/vb6-standin"
lb=() ll=() ls=() lw=()
for _ in $(seq "$runs"); do
    reset && lb+=("$(PELORIX_HOME=$home build_ms "$linux_build/bin/pelorix-cli" build 'C:\list.ini')")
    reset && ll+=("$(ms linux_loop)")
    ls+=("$(ms "$linux_build/bin/pelorix-cli" --help)")
    lw+=("$(ms "$linux_build/bin/pelorix-cli" typelibs)")
done
printf 'ms, best of %d             start    walk    build     loop    own per project  compiler\n' "$runs"
for side in Windows Linux; do
    if [ $side = Windows ]; then
        b=$(best "${wb[@]}") l=$(best "${wl[@]}") st=$(best "${ws[@]}") wk=$(best "${ww[@]}")
    else
        b=$(best "${lb[@]}") l=$(best "${ll[@]}") st=$(best "${ls[@]}") wk=$(best "${lw[@]}")
    fi
    awk -v s=$side -v b="$b" -v l="$l" -v st="$st" -v wk="$wk" 'BEGIN {
        printf "%-8s (100 projects) %6d  %6d  %7d  %7d  %12.1f  %12.1f\n", s, st, wk - st, b, l, (b - l) / 100, l / 100 }'
done
