#!/usr/bin/env bash
# Measures the peak memory of `pelorix-cli build` of one project whose compiler (the stand-in)
# writes a huge log, 100 MB of lines the classification does not know and an error line at the
# end, with /usr/bin/time -v: the build must read the log as a stream, so the figure stays under
# 64 MB whatever the log's size. Also prints how long the build took and the build log's marker
# line for the lines left out.
#
# Usage: benchmarks/huge-log-memory.sh [build-folder]   (default build-bench-log, a Release build)
# PELORIX_LOG_MB: the log's size in MB (default 100).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench-log}
megabytes=${PELORIX_LOG_MB:-100}

source benchmarks/cli-workspace.sh
cli_workspace "$build"
mkdir -p "$prefix/drive_c/p"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n' >"$prefix/system.reg"
printf '[Software\\\\Classes\\\\.vbp] 1700000000\n@="VisualBasic.Project"\n\n' >>"$prefix/system.reg"
printf '[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@="%s"\n' "$standin_command" \
    >>"$prefix/system.reg"
printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
    >"$prefix/user.reg"
printf '[Build]\r\nLogWaitTime=0\r\nProcessWaitTime=20\r\n' >"$home/Pelorix.ini"
printf 'Type=Exe\r\nName="Huge"\r\nCompatibleMode="0"\r\nStandIn=flood:%d,error\r\n' $((megabytes * 1024)) >"$prefix/drive_c/p/Huge.vbp"
printf '[ProjectName]\r\nC:\\p\\Huge.vbp\r\n' >"$prefix/drive_c/p/list.ini"

status=0
WINEPREFIX=$prefix PELORIX_HOME=$home /usr/bin/time -v -o "$work/time.txt" \
    "$cli" build "$prefix/drive_c/p/list.ini" --all >"$work/out.txt" 2>"$work/err.txt" || status=$?
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
elapsed=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
echo "log: $megabytes MB; exit status $status; $(grep -c '' "$work/out.txt") lines printed; $(tail -n 1 "$work/out.txt")"
grep -m 1 'を省略しました' "$work/out.txt" | cut -c 21- || true
echo "peak memory of pelorix-cli build (stand-in included): $((peak / 1024)) MB ($peak kB); elapsed $elapsed"
