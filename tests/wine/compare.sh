#!/usr/bin/env bash
# The same Wine prefix read and built both ways: pelorix-cli on Linux (the prefix's registry files,
# the compiler through wine) and pelorix-cli.exe under Wine (the registry API, the compiler
# started by CreateProcessW in a job object) must print the same type-library registrations, the
# same build result lines and result=, and end with the same exit status. A compiler that never
# ends is ended at ProcessWaitLimit by both, and no stand-in is left running. Used from both sides,
# one program folder holds one build at a time: a build of either side refuses while the other's
# runs.
#
# Usage: compare.sh WINE-RUN LINUX-CLI WINDOWS-BIN-FOLDER WORK-FOLDER
set -euo pipefail
wine_run=$1 linux_cli=$2 bin=$3 work=$4
rm -rf "$work" && mkdir -p "$work/home-linux" "$work/home-windows"
# A prefix of its own, made from the booted one: the registrations below stay in it.
prefix=$work/prefix
"$wine_run" --copy-prefix "$prefix"
export PELORIX_WINE_RUN_PREFIX=$prefix WINEPREFIX=$prefix WINEDEBUG=-all TZ=${TZ:-Asia/Tokyo}
server=$(dirname "$(command -v wine || echo /usr/lib/wine/wine)")/wineserver
[ -x "$server" ] || server=/usr/lib/wine/wineserver
trap '"$server" -k 2>/dev/null || true' EXIT
fail() { echo "compare.sh: $*" >&2; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Registrations of one library in several versions (the newest is 2.0, then 1.a), one more
# library, and the stand-in (a Windows program) as the .vbp shell command.
lib='{5A1B2C3D-4E5F-4A6B-8C7D-9E0F1A2B3C4D}' other='{0F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}'
drive_c=$prefix/drive_c
mkdir -p "$drive_c/PelorixCompare/Lib" "$drive_c/PelorixCompare/Projects"
touch "$drive_c/PelorixCompare/Lib/Lib1.dll" "$drive_c/PelorixCompare/Lib/Lib2.dll" "$drive_c/PelorixCompare/Lib/Other.ocx"
reg() { "$wine_run" reg add "$@" /f >/dev/null; }
for version in 1.0:Lib1.dll 1.a:Lib1.dll 2.0:Lib2.dll 1.2:Lib1.dll; do
    reg "HKLM\\Software\\Classes\\TypeLib\\$lib\\${version%%:*}\\0\\win32" /ve /d "C:\\PelorixCompare\\Lib\\${version#*:}"
done
reg "HKLM\\Software\\Classes\\TypeLib\\$other\\3.1\\0\\win32" /ve /d 'C:\PelorixCompare\Lib\Other.ocx'
reg 'HKLM\Software\Classes\.vbp' /ve /d VisualBasic.Project
reg 'HKLM\Software\Classes\VisualBasic.Project\shell\open\command' /ve /d "\"$(winpath "$bin/vb6-standin.exe")\" \"%1\""
"$server" -w

# 1. The registrations, with the newest version per library.
PELORIX_HOME=$work/home-linux "$linux_cli" typelibs >"$work/typelibs-linux.txt"
PELORIX_HOME=$(winpath "$work/home-windows") "$wine_run" "$bin/pelorix-cli.exe" typelibs | tr -d '\r' \
    >"$work/typelibs-windows.txt"
grep -qi "$lib" "$work/typelibs-linux.txt" || fail "Linux lists no registration of the test library"
diff -u "$work/typelibs-linux.txt" "$work/typelibs-windows.txt" || fail "typelibs differ"

# 2. A list of four projects: one builds, one needs a rebuild in another mode, one fails, one is
# missing.
project() { # NAME MODE STANDIN-LINES...
    local name=$1 mode=$2
    shift 2
    {
        printf 'Type=OleDll\r\n'
        printf 'Reference=*\\G{%s}#1.0#0#C:\\PelorixCompare\\Lib\\Lib1.dll#Lib\r\n' "${lib:1:36}"
        printf 'Name="%s"\r\nCompatibleMode="%s"\r\n' "$name" "$mode"
        local line
        for line in "$@"; do printf '%s\r\n' "$line"; done
    } >"$work/pristine-$name.vbp"
}
project Good 0
project Again 2 'StandIn@2=implements' 'StandIn@0=ok'
project Bad 0 'StandIn=error'
project Hang 0 'StandIn=hang'
list_of() {
    local name list='[ProjectName]'$'\r\n' marks=''
    local i=1
    for name in "$@"; do
        list+="C:\\PelorixCompare\\Projects\\$name.vbp"$'\r\n'
        marks+="$i,"
        i=$((i + 1))
    done
    printf '%s[Build]\r\nEnableState=%s\r\nIndex=1\r\n' "$list" "$marks"
}
list_of Good Again Bad Gone >"$work/build.ini"
list_of Hang >"$work/hang.ini"
# The wait limit: long enough for Wine to start a compiler on a busy machine, short for the one
# that never ends.
settings() {
    printf '[Build]\r\nLogWaitTime=50\r\nProcessWaitTime=100\r\nProcessWaitLimit=%s\r\nReBuildMode=0\r\n' "$1"
    printf 'RebuildHideConfirm=1\r\nRebuildCompatibleMode=0\r\n'
}
cp "$work/build.ini" "$work/hang.ini" "$drive_c/PelorixCompare/"

build() { # SIDE LIST
    local side=$1 list=$2 status=0 limit=60000
    [ "$list" = hang.ini ] && limit=4000
    settings $limit >"$work/home-$side/Pelorix.ini"
    for name in Good Again Bad Hang; do cp "$work/pristine-$name.vbp" "$drive_c/PelorixCompare/Projects/$name.vbp"; done
    rm -f "$drive_c"/PelorixCompare/Projects/*.standin-runs
    if [ "$side" = linux ]; then
        PELORIX_HOME=$work/home-linux timeout 240 "$linux_cli" build "C:\\PelorixCompare\\$list" --yes \
            >"$work/$side-$list.txt" 2>"$work/$side-$list.err" || status=$?
    else
        PELORIX_HOME=$(winpath "$work/home-windows") timeout 240 "$wine_run" "$bin/pelorix-cli.exe" build \
            "C:\\PelorixCompare\\$list" --yes >"$work/$side-$list.raw" 2>"$work/$side-$list.err" || status=$?
        tr -d '\r' <"$work/$side-$list.raw" >"$work/$side-$list.txt"
    fi
    # The build log's lines carry the time they were written.
    sed -i -E 's#^[0-9]{4}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} #TIME #' "$work/$side-$list.txt"
    echo "exit=$status" >>"$work/$side-$list.txt"
}
# No stand-in outlives the build that started it (its end may take Wine a moment to finish). An
# ended one that nobody has reaped yet (a zombie of another process tree) runs no more.
no_standin_left() {
    local i running=R,S,D,T,t,W,I
    for i in $(seq 50); do
        pgrep -r $running -u "$(id -u)" -f 'vb6-standin\.exe' >/dev/null || return 0
        sleep 0.1
    done
    pgrep -a -r $running -u "$(id -u)" -f 'vb6-standin\.exe' >&2
    fail "a stand-in is still running after the $1 build of ProcessWaitLimit"
}
for list in build.ini hang.ini; do
    build linux $list
    no_standin_left Linux
    build windows $list
    no_standin_left Windows
    diff -u "$work/linux-$list.txt" "$work/windows-$list.txt" || fail "pelorix-cli build $list differs"
done
# 3. One program folder from both sides: while a build of one side runs there, a build of the other
# refuses (Wine keeps the Windows build's lock as a lock of the host file, which the Linux build
# takes too).
shared=$work/home-shared
mkdir -p "$shared"
settings 8000 >"$shared/Pelorix.ini"
wait_for_standin() {
    local i
    for i in $(seq 200); do
        pgrep -u "$(id -u)" -f 'vb6-standin\.exe' >/dev/null && return 0
        sleep 0.1
    done
    fail "the holding build started no compiler"
}
shared_build() { # SIDE LIST OUTPUT
    if [ "$1" = linux ]; then
        PELORIX_HOME=$shared timeout 120 "$linux_cli" build "C:\\PelorixCompare\\$2" >"$3" 2>&1
    else
        PELORIX_HOME=$(winpath "$shared") timeout 120 "$wine_run" "$bin/pelorix-cli.exe" build \
            "C:\\PelorixCompare\\$2" >"$3" 2>&1
    fi
}
for holder in linux windows; do
    other=windows
    [ $holder = windows ] && other=linux
    cp "$work/pristine-Hang.vbp" "$drive_c/PelorixCompare/Projects/Hang.vbp"
    shared_build $holder hang.ini "$work/shared-$holder-holds.txt" &
    holding=$!
    wait_for_standin
    status=0
    shared_build $other build.ini "$work/shared-$other-refused.txt" || status=$?
    wait $holding || true
    no_standin_left "$holder side's holding"
    [ $status = 1 ] || fail "a $other build ran beside a $holder build of the same program folder (exit $status)"
    grep -q 'another build is running in the program folder' "$work/shared-$other-refused.txt" ||
        fail "the $other build did not say why it refused: $(cat "$work/shared-$other-refused.txt")"
done

grep -q '^result=' "$work/linux-build.ini.txt" || fail "no result line"
grep -q $'^OK\t' "$work/linux-build.ini.txt" || fail "no project built"
grep -q $'^NG\t' "$work/linux-build.ini.txt" || fail "no project failed"
echo "compare.sh: both sides agree"
cat "$work/linux-build.ini.txt" "$work/typelibs-linux.txt"
