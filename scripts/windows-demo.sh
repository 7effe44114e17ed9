#!/usr/bin/env bash
# The demo workspace with the Windows programs under Wine (./run.sh --windows): cross-builds
# pelorix.exe, pelorix-cli.exe and the stand-in compiler (with Qt for Windows, built once per
# machine by scripts/qt-for-windows.sh) into build-windows-run/, makes a workspace of its own in
# demo-windows/ (a booted Wine prefix whose registry holds the demo's type libraries, the Windows
# stand-in as the .vbp shell command, and Japanese fonts for the Windows UI font names), and starts
# pelorix.exe there, or builds the demo list with pelorix-cli.exe.
# Usage: scripts/windows-demo.sh [window | cli | prepare]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
source scripts/demo-workspace.sh
mode=${1:-window}

build=build-windows-run
scripts/windows-build.sh --programs "$build" >&2
bin=$PWD/$build/bin

demo=$PWD/demo-windows
prefix=$demo/prefix
drive_c=$prefix/drive_c
home=$demo/home
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
wine=$(command -v wine || echo /usr/lib/wine/wine)
server=$(dirname "$wine")/wineserver
[ -x "$server" ] || server=/usr/lib/wine/wineserver

# The Windows UI font names (and the program's "ＭＳ Ｐゴシック") resolve to Noto Sans CJK JP, an
# outline font without embedded bitmaps, drawn anti-aliased: Wine lists a replacement as a font
# family of its own, so Qt finds it by name.
japanese_font="Noto Sans CJK JP"
ui_fonts=("MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "MS Gothic" "MS PGothic" "ＭＳ ゴシック" "ＭＳ Ｐゴシック"
    "Meiryo" "Meiryo UI" "Yu Gothic" "Yu Gothic UI")

# A registry file as regedit reads it (UTF-16 with its byte-order mark).
registry_file() {
    local entry guid version library time font
    local command="\"$(winpath "$bin/vb6-standin.exe")\" \"%1\""
    regstr() { local s=${1//\\/\\\\}; printf '%s' "${s//\"/\\\"}"; }
    {
        printf 'Windows Registry Editor Version 5.00\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\.vbp]\r\n@="VisualBasic.Project"\r\n\r\n'
        printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\VisualBasic.Project\\shell\\open\\command]\r\n@="%s"\r\n\r\n' \
            "$(regstr "$command")"
        for entry in "${demo_typelibs[@]}"; do
            read -r guid version library time <<<"$entry"
            printf '[HKEY_LOCAL_MACHINE\\Software\\Classes\\TypeLib\\%s\\%s\\0\\win32]\r\n@="%s"\r\n\r\n' \
                "$guid" "$version" "$(regstr "$library")"
        done
        printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
        for font in "${ui_fonts[@]}"; do printf '"%s"="%s"\r\n' "$font" "$japanese_font"; done
        printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes]\r\n'
        printf '"MS Shell Dlg"="%s"\r\n"MS Shell Dlg 2"="%s"\r\n\r\n' "$japanese_font" "$japanese_font"
        # Grey-scale anti-aliasing, as Windows draws by default without ClearType.
        printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"FontSmoothing"="2"\r\n'
        printf '"FontSmoothingType"=dword:00000001\r\n"FontSmoothingGamma"=dword:00000578\r\n\r\n'
    } | iconv -f UTF-8 -t UTF-16 >"$1"
}

make_demo() {
    echo "Making the Windows demo workspace in demo-windows/ (a Wine prefix: this takes a minute) ..." >&2
    "$server" -k 2>/dev/null || true
    rm -rf "$demo"
    mkdir -p "$demo"
    "$wine" wineboot --init >/dev/null 2>&1
    "$server" -w
    demo_files "$home"
    echo "$demo_version" >"$demo/.made"
}

[ "$(cat "$demo/.made" 2>/dev/null)" = "$demo_version" ] || make_demo
# The registry names the stand-in by its path in this checkout: written on every run.
registry_file "$demo/demo.reg"
"$wine" regedit /S "$(winpath "$demo/demo.reg")"
"$server" -w
demo_list_path "$home"
demo_reset "$home"

[ "$mode" = prepare ] && exit 0
if [ "$mode" = window ] && [ -z "${DISPLAY:-}" ]; then
    echo "No display (DISPLAY is not set): building the demo list with pelorix-cli.exe instead."
    echo
    mode=cli
fi
export PELORIX_HOME=$(winpath "$home")
if [ "$mode" = window ]; then
    echo "Starting pelorix.exe under Wine on the demo list demo-windows/ProjectList.ini."
    echo "Its settings are demo-windows/home/Pelorix.ini, its error log demo-windows/home/Pelorix.log."
    exec "$wine" "$bin/pelorix.exe"
fi
echo "Building the demo list with pelorix-cli.exe under Wine:"
echo
status=0
"$wine" "$bin/pelorix-cli.exe" build "$(winpath "$demo/ProjectList.ini")" || status=$?
echo
echo "pelorix-cli.exe exited with $status."
exit $status
