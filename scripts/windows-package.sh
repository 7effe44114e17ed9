#!/usr/bin/env bash
# Makes the Windows packages of a cross-build: pelorix-<version>-win32.zip, a portable folder that
# runs where it is unpacked (settings beside the programs), and pelorix-<version>-setup.exe, the
# installer (NSIS). The DLLs are stripped; the programs are not (they are built without debug
# information).
# Usage: scripts/windows-package.sh [BUILD-FOLDER] [OUTPUT-FOLDER]   (default build-windows, BUILD-FOLDER/package)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages nsis "${PELORIX_WINDOWS_PACKAGES[@]}"

build=$(realpath "${1:-build-windows}")
out=$(realpath -m "${2:-$build/package}")
bin=$build/bin
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "windows-package: $build is no configured build folder" >&2; exit 1; }
for program in pelorix.exe pelorix-cli.exe; do
    [ -f "$bin/$program" ] || { echo "windows-package: $bin/$program is missing: build the window program first" >&2; exit 1; }
done

name=pelorix-$version-win32
stage=$out/$name
rm -rf "$stage"
mkdir -p "$stage/platforms" "$stage/styles"
files=(pelorix.exe pelorix-cli.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libgcc_s_dw2-1.dll libstdc++-6.dll
    libwinpthread-1.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll)
for file in "${files[@]}"; do
    cp "$bin/$file" "$stage/$file"
done
i686-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/platforms/*.dll "$stage"/styles/*.dll
# README as Windows shows text files: CR LF.
sed 's/$/\r/' packaging/windows/README.txt | sed "s/@VERSION@/$version/g" >"$stage/README.txt"

rm -f "$out/$name.zip"
(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")

# The installer removes what it installed, file by file, and nothing else.
filelist=$out/uninstall-files.nsh
{
    for file in "${files[@]}" README.txt; do
        printf 'Delete "$INSTDIR\\%s"\n' "${file//\//\\}"
    done
    printf 'RMDir "$INSTDIR\\platforms"\nRMDir "$INSTDIR\\styles"\n'
} >"$filelist"
cp src/resources/pelorix.ico "$out/pelorix.ico"
makensis -V2 -DVERSION="$version" -DSOURCE="$stage" -DOUTFILE="$out/pelorix-$version-setup.exe" \
    -DICON="$out/pelorix.ico" -DFILELIST="$filelist" packaging/windows/pelorix.nsi >&2
echo "$out/$name.zip ($(du -h "$out/$name.zip" | cut -f1))"
echo "$out/pelorix-$version-setup.exe ($(du -h "$out/pelorix-$version-setup.exe" | cut -f1))"
