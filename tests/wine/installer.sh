#!/usr/bin/env bash
# The Windows packages as a user meets them, in a Wine prefix of their own: the portable zip runs
# where it is unpacked and keeps its settings there; the installer installs silently (with
# pelorix-cli on PATH), the installed pelorix-cli.exe builds a small list and keeps its files in
# %APPDATA%\pelorix, the installed pelorix.exe starts, shows its main window (on Xvfb) and saves
# its settings when the session ends, and the silent uninstall removes the programs, the shortcut,
# the uninstall entry and the PATH entry and leaves the user's settings.
#
# Usage: installer.sh WINE-RUN PACKAGE-FOLDER WINDOWS-BIN-FOLDER WORK-FOLDER
set -euo pipefail
wine_run=$1 package=$2 bin=$3 work=$4
setup=$(ls "$package"/pelorix-*-setup.exe)
zip=$(ls "$package"/pelorix-*-win32.zip)
booted=$("$wine_run" --prefix)
rm -rf "$work" && mkdir -p "$work"
prefix=$work/prefix
"$wine_run" --copy-prefix "$prefix"
# The folders an installation writes to are the prefix's own, not links into the booted one.
for folder in "Program Files" "Program Files (x86)" ProgramData users; do
    if [ -L "$prefix/drive_c/$folder" ]; then
        rm "$prefix/drive_c/$folder"
        cp -a "$booted/drive_c/$folder" "$prefix/drive_c/"
    fi
done
export PELORIX_WINE_RUN_PREFIX=$prefix WINEPREFIX=$prefix WINEDEBUG=-all
unset PELORIX_HOME
server=$(dirname "$(command -v wine || echo /usr/lib/wine/wine)")/wineserver
[ -x "$server" ] || server=/usr/lib/wine/wineserver
trap '"$server" -k 2>/dev/null || true' EXIT
fail() { echo "installer.sh: $*" >&2; exit 1; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }
run() { "$wine_run" "$@"; }
reg_has() { run reg query "$@" >/dev/null 2>&1; }
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pelorix'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

# A project the stand-in builds, and a list of it.
run reg add 'HKLM\Software\Classes\.vbp' /ve /d VisualBasic.Project /f >/dev/null
run reg add 'HKLM\Software\Classes\VisualBasic.Project\shell\open\command' /ve \
    /d "\"$(winpath "$bin/vb6-standin.exe")\" \"%1\"" /f >/dev/null
mkdir -p "$prefix/drive_c/Projects"
printf 'Type=Exe\r\nName="Hello"\r\nCompatibleMode="0"\r\n' >"$prefix/drive_c/Projects/Hello.vbp"
printf '[ProjectName]\r\nC:\\Projects\\Hello.vbp\r\n[Build]\r\nEnableState=1,\r\nIndex=1\r\n' \
    >"$prefix/drive_c/Projects/list.ini"
build_with() { # PROGRAM-AS-WINDOWS-PATH
    run "$1" build 'C:\Projects\list.ini' >"$work/build.out" 2>"$work/build.err" ||
        { cat "$work/build.out" "$work/build.err" >&2; fail "$1 build failed"; }
    tr -d '\r' <"$work/build.out" | grep -q $'^OK\t' || fail "$1 built no project: $(cat "$work/build.out")"
}

# 1. The portable zip: the programs run where it is unpacked, settings beside them.
mkdir -p "$prefix/drive_c/Portable"
(cd "$prefix/drive_c/Portable" && cmake -E tar xf "$zip")
portable=$(ls -d "$prefix"/drive_c/Portable/pelorix-*-win32)
build_with "C:\\Portable\\$(basename "$portable")\\pelorix-cli.exe"
[ -e "$portable/Pelorix.lock" ] || fail "the portable copy keeps its files elsewhere than beside the programs"

# 2. The silent install, with pelorix-cli on PATH.
run "$setup" /S /PATH
"$server" -w
install=""
for folder in "Program Files (x86)" "Program Files"; do
    [ -f "$prefix/drive_c/$folder/Pelorix/pelorix.exe" ] && install=$prefix/drive_c/$folder/Pelorix && break
done
[ -n "$install" ] || fail "the installer put no pelorix.exe into Program Files"
install_win="C:\\$(basename "$(dirname "$install")")\\Pelorix"
for file in pelorix.exe pelorix-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll \
    platforms/qwindows.dll styles/qwindowsvistastyle.dll README.txt Pelorix.installed uninstall.exe; do
    [ -f "$install/$file" ] || fail "installed copy lacks $file"
done
shortcut="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pelorix/Pelorix.lnk"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
reg_has "$uninstall_key" /v UninstallString || reg_has "$uninstall_key" /v UninstallString /reg:32 ||
    fail "no entry in Apps & Features"
run reg query "$environment_key" /v Path | grep -qiF "$install_win" || fail "/PATH did not put the install folder on PATH"

# 3. The installed pelorix-cli.exe builds the list; its program folder is %APPDATA%\pelorix.
before=$(cd "$install" && find . | sort)
build_with "$install_win\\pelorix-cli.exe"
[ "$(cd "$install" && find . | sort)" = "$before" ] || fail "the installed copy wrote into its install folder"
appdata=$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming/pelorix 2>/dev/null | head -n 1)
[ -n "$appdata" ] && [ -e "$appdata/Pelorix.lock" ] || fail "the installed copy keeps no files in %APPDATA%\\pelorix"
printf '[Options]\r\nKept=1\r\n' >>"$appdata/Pelorix.ini"

# 4. The installed pelorix.exe starts and shows its main window. Its first start in a new prefix
# waits for Wine to list the host's fonts (Noto CJK's are large): up to three minutes. The
# prefix's session so far had no display: it ends first, so that the program's session draws on
# the X server.
"$server" -k
"$server" -w
# Then the session ends, as at log-off: the program saves its settings before Windows ends it.
grep -q '^FormSize=' "$appdata/Pelorix.ini" 2>/dev/null && fail "the window's settings were there before it started"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" "$2\\pelorix.exe" &
    for i in $(seq 360); do
        if xdotool search --onlyvisible --classname "pelorix.exe" >/dev/null 2>&1; then
            "$1" wineboot --end-session --force
            exit 0
        fi
        sleep 0.5
    done
    exit 1' shown "$wine_run" "$install_win" || fail "the installed pelorix.exe showed no window within three minutes"
grep -q '^FormSize=' "$appdata/Pelorix.ini" || fail "the session's end lost the window's settings"
"$server" -k
"$server" -w

# 5. The silent uninstall (its copy in %TEMP% ends after the wine call returns: wait for it).
run "$install_win\\uninstall.exe" /S
"$server" -w
for i in $(seq 60); do [ -e "$install" ] || break; sleep 0.5; done
[ ! -e "$install" ] || fail "the uninstaller left $(cd "$install" && find . | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the uninstaller left the shortcut"
reg_has "$uninstall_key" || reg_has "$uninstall_key" /reg:32 && fail "the uninstaller left its Apps & Features entry"
run reg query "$environment_key" /v Path | grep -qiF "$install_win" && fail "the uninstaller left PATH's entry"
grep -q Kept "$appdata/Pelorix.ini" || fail "the uninstaller removed the user's settings"
echo "installer.sh: the zip, the silent install, the installed programs and the silent uninstall work"
