#!/usr/bin/env bash
# Builds Pelorix and starts the window program on its demo workspace; without a display (neither
# DISPLAY nor WAYLAND_DISPLAY set) it says so and builds the demo list with pelorix-cli instead.
# Installs the Debian packages it needs when they are missing.
#
# Usage: ./run.sh [--cli | --prepare]
#   --cli      always build the demo list with pelorix-cli
#   --prepare  only build Pelorix and make the demo workspace (used by scripts/screenshot.sh)
#
# The demo workspace lives in demo/ (ignored by git) and is made on the first run: a Wine prefix
# whose registry holds a few type libraries and the stand-in compiler as the .vbp shell command,
# a dozen projects on its drive C:, a program folder with Pelorix.ini, and a project list. Every
# run starts the projects from their original files, so each run shows the same: most projects
# build, one needs a rebuild, one whose compiler writes English logs fails with a compile error
# and ends the run, one is missing and one is not marked.
# Remove demo/ to make it again.
set -euo pipefail
cd "$(dirname "$0")"

mode=window
case "${1:-}" in
    --cli) mode=cli ;;
    --prepare) mode=prepare ;;
    "") ;;
    *) echo "Usage: ./run.sh [--cli | --prepare]" >&2; exit 2 ;;
esac

source scripts/packages.sh
ensure_packages "${PELORIX_BUILD_PACKAGES[@]}" "${PELORIX_UI_PACKAGES[@]}"

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELORIX_BUILD_TESTS=OFF >/dev/null
targets=(pelorix-cli vb6-standin)
[ "$mode" != cli ] && targets+=(pelorix)
cmake --build build-run -j "$(nproc)" --target "${targets[@]}"

demo=$PWD/demo
prefix=$demo/prefix
drive_c=$prefix/drive_c
home=$demo/home
standin=$PWD/build-run/bin/vb6-standin

# A host path as drive Z: sees it.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# UTF-8 text with LF line ends -> the ANSI code page with CR LF, as the program's files are.
ansi() { sed 's/$/\r/' | iconv -f UTF-8 -t CP932; }
# Doubles backslashes and escapes quotes, as the registry files write strings.
regstr() { local s=${1//\\/\\\\}; printf '%s' "${s//\"/\\\"}"; }

make_registry() {
    local core='{6B1E2F10-3C4D-4E5F-8A9B-0C1D2E3F4A5B}' ui='{9A8B7C6D-5E4F-4A3B-9C2D-1E0F2A3B4C5D}'
    local cmd
    cmd=$(regstr "\"$(winpath "$standin")\" \"%1\"")
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n'
        printf '[Software\\\\Classes\\\\.vbp] 1700000000\n@="VisualBasic.Project"\n\n'
        printf '[Software\\\\Classes\\\\Typelib\\\\%s\\\\1.0\\\\0\\\\win32] 1700000000\n@="%s"\n\n' \
            "$core" "$(regstr 'C:\Demo\Lib\DemoCore.dll')"
        printf '[Software\\\\Classes\\\\Typelib\\\\%s\\\\1.2\\\\0\\\\win32] 1750000000\n@="%s"\n\n' \
            "$core" "$(regstr 'C:\Demo\Lib\DemoCore.dll')"
        printf '[Software\\\\Classes\\\\Typelib\\\\%s\\\\2.0\\\\0\\\\win32] 1750000000\n@="%s"\n\n' \
            "$ui" "$(regstr 'C:\Demo\Lib\DemoUI.ocx')"
        printf '[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@="%s"\n' "$cmd"
    } >"$prefix/system.reg"
    printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
        >"$prefix/user.reg"
}

# project FOLDER NAME TYPE MODE [EXTRA-LINE...]: a project file in the pristine sources.
project() {
    local folder=$1 name=$2 type=$3 mode=$4
    shift 4
    mkdir -p "$demo/pristine/$folder"
    {
        printf 'Type=%s\n' "$type"
        printf 'Reference=*\\G{00020430-0000-0000-C000-000000000046}#2.0#0#C:\\windows\\system32\\stdole2.tlb#OLE Automation\n'
        printf 'Reference=*\\G{6B1E2F10-3C4D-4E5F-8A9B-0C1D2E3F4A5B}#1.0#0#C:\\Demo\\Lib\\DemoCore.dll#Demo Core Library\n'
        [ "$type" = Control ] &&
            printf 'Reference=*\\G{9A8B7C6D-5E4F-4A3B-9C2D-1E0F2A3B4C5D}#1.0#0#C:\\Demo\\Lib\\DemoUI.ocx#Demo UI Controls\n'
        printf 'Class=%s; %s.cls\n' "$name" "$name"
        printf 'Startup="(None)"\n'
        printf 'Title="%s"\n' "$name"
        printf 'Name="%s"\n' "$name"
        printf 'Description="%s"\n' "デモ: $name"
        printf 'StartMode=0\n'
        [ "$mode" != none ] && printf 'CompatibleMode="%s"\n' "$mode"
        [ "$mode" = 2 ] && printf 'CompatibleEXE32="%s.dll"\nVersionCompatible32="1"\n' "$name"
        printf 'OptimizationType=0\n'
        local line
        for line in "$@"; do printf '%s\n' "$line"; done
    } | ansi >"$demo/pristine/$folder/$name.vbp"
}

make_demo() {
    echo "Making the demo workspace in demo/ ..."
    rm -rf "$demo"
    mkdir -p "$prefix/dosdevices" "$drive_c/windows/system32" "$drive_c/Demo/Lib" "$home"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    ln -s / "$prefix/dosdevices/z:"
    touch "$drive_c/Demo/Lib/DemoCore.dll" "$drive_c/Demo/Lib/DemoUI.ocx"
    make_registry

    project Core Core OleDll 2
    project Utils Utils OleDll 1
    project Grid DemoGrid Control 2
    project Viewer Viewer Exe 0
    project '帳票 Reports' Reports Exe 0
    project Legacy Legacy OleDll 2 'StandIn@2=implements' 'StandIn@0=ok'
    project Importer Importer Exe 0 'StandIn=sleep:400'
    project Settings Settings Exe none
    project Archive Archive Exe 0
    # An English VB6's project: its log names the compile error's file and line.
    project Server Server Exe 0 'Module=modHechizos; modHechizos.bas' 'StandIn=english,compile:4496'
    project Printing Printing OleDll 2 'StandIn=notfound'
    project Mailer Mailer Exe 0
    project Tools Tools Exe 0
    rm -rf "$demo/pristine/Archive" # listed, but its file is missing

    local p list=""
    for p in Core/Core Utils/Utils Grid/DemoGrid Viewer/Viewer '帳票 Reports/Reports' Legacy/Legacy \
        Importer/Importer Settings/Settings Archive/Archive Server/Server Printing/Printing Mailer/Mailer \
        Tools/Tools; do
        list+="C:\\Demo\\Projects\\${p//\//\\}.vbp"$'\n'
    done
    # Row 13 (Tools) is not marked; row 9 (Archive) is marked but missing, so it stays unmarked.
    printf '[ProjectName]\n%s[Build]\nEnableState=1,2,3,4,5,6,7,8,9,10,11,12,\nIndex=1\n' "$list" |
        ansi >"$demo/ProjectList.ini"
    printf '[Build]\nLogWaitTime=50\nProcessWaitTime=100\nReBuildMode=0\nRebuildHideConfirm=1\nRebuildCompatibleMode=0\n' |
        ansi >"$home/Pelorix.ini"
    echo 2 >"$demo/.made" # the workspace's version: an older one is made again
}

# The window program opens the list it used last: the demo list, until another one is opened.
ensure_list_path() {
    local ini=$home/Pelorix.ini line
    grep -q '^ProjectListPath=' "$ini" && return 0
    line=$(printf 'ProjectListPath="%s"\r' "$(winpath "$demo/ProjectList.ini")" | iconv -f UTF-8 -t CP932)
    LINE=$line LC_ALL=C awk '{ print } /^\[Build\]\r?$/ { print ENVIRON["LINE"] }' "$ini" >"$ini.tmp"
    mv "$ini.tmp" "$ini"
}

[ "$(cat "$demo/.made" 2>/dev/null)" = 2 ] || make_demo
# The registry names the stand-in by its path in this checkout, so it is written on every run.
make_registry
ensure_list_path

# Every run starts from the original project files.
rm -rf "$drive_c/Demo/Projects" "$home"/*.log
mkdir -p "$drive_c/Demo/Projects"
cp -a "$demo/pristine/." "$drive_c/Demo/Projects/"

[ "$mode" = prepare ] && exit 0

if [ "$mode" = window ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): building the demo list with pelorix-cli instead."
    echo
    mode=cli
fi

if [ "$mode" = window ]; then
    echo "Starting Pelorix on the demo list demo/ProjectList.ini (compiler: the stand-in, $standin)."
    echo "Its settings are demo/home/Pelorix.ini, its error log demo/home/Pelorix.log."
    WINEPREFIX=$prefix PELORIX_HOME=$home exec build-run/bin/pelorix
fi

echo "Building the demo list (compiler: the stand-in, $standin):"
echo
status=0
WINEPREFIX=$prefix PELORIX_HOME=$home build-run/bin/pelorix-cli build "$demo/ProjectList.ini" || status=$?
echo
echo "pelorix-cli exited with $status. The list is demo/ProjectList.ini, the settings demo/home/Pelorix.ini;"
echo "failed compiler logs stay in demo/home/, project backups beside the projects in demo/prefix/drive_c/Demo/."
echo "See build-run/bin/pelorix-cli build --help."
