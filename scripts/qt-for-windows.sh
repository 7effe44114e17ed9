#!/usr/bin/env bash
# Cross-builds Qt 6 for 32-bit Windows from Debian's own qt6-base source package, with the MinGW-w64
# toolchain of pelorix-cli.exe (cmake/mingw-w64-i686.cmake), and installs it into a cache folder
# keyed by Qt's version and this script's options. A later call finds the cache and builds nothing.
# Prints the installed tree's folder on standard output; everything else goes to standard error.
#
# Usage: scripts/qt-for-windows.sh [--print-key]
#   PELORIX_QT_WINDOWS=FILE.tar.xz   take the tree from a tarball made of an earlier build (its
#                                    pelorix-qt.key must match this script's key)
#   PELORIX_QT_CACHE=FOLDER          the cache folder (default ${XDG_CACHE_HOME:-~/.cache}/pelorix)
#   PELORIX_QT_JOBS=N                parallel compile jobs (default: nproc)
#   PELORIX_QT_WORK=FOLDER           where the sources are unpacked and built (removed afterwards)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

qt_version=6.4.2
qt_package=qt6-base
# Debian 12's revision of the source package; apt fetches the one its index names, and the key
# holds what was built.
debian_suite=bookworm

# Every option that changes the installed tree is here, so that the key follows it.
qt_options=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
    # No OpenGL at all: FEATURE_opengl alone leaves dynamic OpenGL on, which the windows platform
    # plugin then fails to compile without.
    -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_opengl_dynamic=OFF -DFEATURE_dynamicgl=OFF
    -DFEATURE_pkg_config=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF
    # Qt 6.4 compiles its DirectWrite font database only with Direct2D: both off, or both on.
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF
    # A Debian patch turns the Android deployment tool on for every cross-build.
    -DFEATURE_androiddeployqt=OFF
    -DFEATURE_zstd=OFF -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_png=OFF
)
toolchain=cmake/mingw-w64-i686.cmake

key_text() {
    printf '%s\n' "$qt_package $qt_version $debian_suite i686-w64-mingw32-posix" "${qt_options[@]}"
    # The compiler settings of the toolchain file, not its comments.
    grep -v '^[[:space:]]*#' "$toolchain" | grep -v '^[[:space:]]*$'
}
key=$(key_text | sha256sum | cut -c1-12)
if [ "${1:-}" = "--print-key" ]; then
    echo "$key"
    exit 0
fi

cache=${PELORIX_QT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/pelorix}
dest=$cache/qt-$qt_version-mingw-i686-$key
if [ -f "$dest/pelorix-qt.key" ] && [ "$(cat "$dest/pelorix-qt.key")" = "$key" ]; then
    echo "$dest"
    exit 0
fi
mkdir -p "$cache"

if [ -n "${PELORIX_QT_WINDOWS:-}" ]; then
    tarball=$PELORIX_QT_WINDOWS
    [ -f "$tarball" ] || { echo "qt-for-windows: $tarball is not a file" >&2; exit 1; }
    partial=$(mktemp -d "$cache/unpack.XXXXXX")
    trap 'rm -rf "$partial"' EXIT
    tar -xJf "$tarball" -C "$partial"
    found=$(cat "$partial/pelorix-qt.key" 2>/dev/null || echo none)
    if [ "$found" != "$key" ]; then
        echo "qt-for-windows: $tarball was built with key $found, this script needs $key" >&2
        exit 1
    fi
    rm -rf "$dest"
    mv "$partial" "$dest"
    trap - EXIT
    echo "$dest"
    exit 0
fi

ensure_packages "${PELORIX_BUILD_PACKAGES[@]}" "${PELORIX_WINDOWS_PACKAGES[@]}" qt6-base-dev dpkg-dev xz-utils \
    debian-archive-keyring

# One work folder per Qt version: a build with other options reconfigures it and compiles only
# what they change. It is removed once the tree is installed.
work=${PELORIX_QT_WORK:-$cache/qt-build-$qt_version}
mkdir -p "$work"
start=$(date +%s)

# Debian's source through a private apt configuration: the machine's own sources stay as they are.
source_dir=$work/$qt_package-$qt_version
if [ ! -f "$source_dir/.unpacked" ]; then
    apt_dir=$work/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/download"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $debian_suite main" \
        >"$apt_dir/sources.list"
    apt_options=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o "Dir::State::Lists=$apt_dir/lists" -o APT::Get::Only-Source=true -o APT::Sandbox::User=root)
    echo "qt-for-windows: fetching Debian's $qt_package source" >&2
    apt-get "${apt_options[@]}" update -qq >&2
    revision=$(apt-cache "${apt_options[@]}" showsrc "$qt_package" | sed -n 's/^Version: //p' |
        grep "^$qt_version+" | sort -V | tail -n 1)
    [ -n "$revision" ] || { echo "qt-for-windows: Debian's index has no $qt_package $qt_version" >&2; exit 1; }
    (cd "$apt_dir/download" && apt-get "${apt_options[@]}" source --download-only -qq "$qt_package=$revision" >&2)
    dsc=$(ls "$apt_dir"/download/"${qt_package}"_"$qt_version"*.dsc | head -n 1)
    rm -rf "$source_dir"
    # dpkg-source applies Debian's patches (security fixes among them); the bare tarball would not.
    dpkg-source --no-check -x "$dsc" "$source_dir" >&2
    basename "$dsc" >"$source_dir/.unpacked"
fi

build_dir=$work/build
# Installed where it stays (Qt's CMake files remember their prefix); the key file, written last,
# marks a complete tree.
rm -rf "$dest"
echo "qt-for-windows: configuring Qt $qt_version for i686-w64-mingw32" >&2
cmake -S "$source_dir" -B "$build_dir" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain" -DCMAKE_INSTALL_PREFIX="$dest" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    "${qt_options[@]}" >"$work/configure.log" 2>&1 ||
    { tail -n 40 "$work/configure.log" >&2; exit 1; }
echo "qt-for-windows: building (about 40 minutes on 2 cores; log in $work/build.log)" >&2
cmake --build "$build_dir" -j "${PELORIX_QT_JOBS:-$(nproc)}" >"$work/build.log" 2>&1 ||
    { grep -B2 -A8 -m 5 'error' "$work/build.log" >&2 || tail -n 40 "$work/build.log" >&2; exit 1; }
cmake --install "$build_dir" >"$work/install.log" 2>&1 || { tail -n 20 "$work/install.log" >&2; exit 1; }
{ cat "$source_dir/.unpacked"; key_text; } >"$dest/pelorix-qt.options"
echo "$key" >"$dest/pelorix-qt.key"
# The sources and objects are not needed again: the installed tree is the cache.
rm -rf "$work"
end=$(date +%s)
echo "qt-for-windows: built in $(((end - start) / 60)) min $(((end - start) % 60)) s; $(du -sh "$dest" | cut -f1) in $dest" >&2
echo "$dest"
