#!/usr/bin/env bash
# Builds Pelorix and starts the window program on its demo workspace; without a display (neither
# DISPLAY nor WAYLAND_DISPLAY set) it says so and builds the demo list with pelorix-cli instead.
# Installs the Debian packages it needs when they are missing.
#
# Usage: ./run.sh [--cli | --prepare]
#        ./run.sh --windows [--cli | --prepare]
#   --cli      always build the demo list with pelorix-cli
#   --prepare  only build Pelorix and make the demo workspace (used by the screenshot scripts)
#   --windows  the same with the Windows programs (pelorix.exe, pelorix-cli.exe) under Wine
#              (scripts/windows-demo.sh, demo workspace demo-windows/)
#
# The demo workspace lives in demo/ (ignored by git) and is made on the first run: a Wine prefix
# whose registry holds a few type libraries and the stand-in compiler as the .vbp shell command,
# a dozen projects on its drive C:, a program folder with Pelorix.ini, and a project list (see
# scripts/demo-workspace.sh). Remove demo/ to make it again.
set -euo pipefail
cd "$(dirname "$0")"

mode=window
system=linux
for arg in "$@"; do
    case "$arg" in
        --cli) mode=cli ;;
        --prepare) mode=prepare ;;
        --windows) system=windows ;;
        *) echo "Usage: ./run.sh [--windows] [--cli | --prepare]" >&2; exit 2 ;;
    esac
done
[ "$system" = windows ] && exec scripts/windows-demo.sh "$mode"

source scripts/packages.sh
source scripts/demo-workspace.sh
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

# Doubles backslashes and escapes quotes, as the registry files write strings.
regstr() { local s=${1//\\/\\\\}; printf '%s' "${s//\"/\\\"}"; }

make_registry() {
    local cmd entry guid version library time
    cmd=$(regstr "\"$(winpath "$standin")\" \"%1\"")
    {
        printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n\n'
        printf '[Software\\\\Classes\\\\.vbp] 1700000000\n@="VisualBasic.Project"\n\n'
        for entry in "${demo_typelibs[@]}"; do
            read -r guid version library time <<<"$entry"
            printf '[Software\\\\Classes\\\\Typelib\\\\%s\\\\%s\\\\0\\\\win32] %s\n@="%s"\n\n' \
                "$guid" "$version" "$time" "$(regstr "$library")"
        done
        printf '[Software\\\\Classes\\\\VisualBasic.Project\\\\shell\\\\open\\\\command] 1700000000\n@="%s"\n' "$cmd"
    } >"$prefix/system.reg"
    printf 'WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n' \
        >"$prefix/user.reg"
}

make_demo() {
    echo "Making the demo workspace in demo/ ..."
    rm -rf "$demo"
    mkdir -p "$prefix/dosdevices" "$drive_c"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    ln -s / "$prefix/dosdevices/z:"
    demo_files "$home"
    echo "$demo_version" >"$demo/.made"
}

[ "$(cat "$demo/.made" 2>/dev/null)" = "$demo_version" ] || make_demo
# The registry names the stand-in by its path in this checkout, so it is written on every run.
make_registry
demo_list_path "$home"
demo_reset "$home"

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
