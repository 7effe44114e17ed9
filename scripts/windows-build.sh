#!/usr/bin/env bash
# Cross-builds Pelorix for 32-bit Windows with MinGW-w64 (pelorix.exe, pelorix-cli.exe, the stand-in
# compiler and the test programs) and runs the tests under Wine, in a Wine prefix of the build
# folder; the tests make the Windows packages (build-folder/package) and install them under Wine.
# With a Linux build's pelorix-cli (build/bin/pelorix-cli, built here when missing) it also
# compares the two on one prefix. Installs the Debian packages it needs when they are missing.
# Usage: scripts/windows-build.sh [--programs] [build-folder]   (default build-windows)
#   --programs  only the programs (pelorix.exe, pelorix-cli.exe, the stand-in), no tests
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${PELORIX_BUILD_PACKAGES[@]}" "${PELORIX_WINE_PACKAGES[@]}" "${PELORIX_WINDOWS_PACKAGES[@]}"

programs_only=0
if [ "${1:-}" = --programs ]; then
    programs_only=1
    shift
fi
build=$(realpath -m "${1:-build-windows}")
host_build=${PELORIX_HOST_BUILD:-build}
tests=ON
if [ "$programs_only" = 1 ]; then
    tests=OFF
elif [ ! -x "$host_build/bin/pelorix-cli" ]; then
    cmake -S . -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$host_build" -j "$(nproc)" --target pelorix-cli
fi
# xxHash is header-only: the cross-build takes its header from a folder of its own, never from the
# host's /usr/include (whose other headers are not the target's).
mkdir -p "$build/xxhash-include"
cp /usr/include/xxhash.h "$build/xxhash-include/"
# The window program needs Qt for Windows: built from Debian's source once per machine and kept
# in a cache (scripts/qt-for-windows.sh). PELORIX_WINDOWS_UI=0 builds without it.
toolchain=$PWD/cmake/mingw-w64-i686.cmake
options=(-DPELORIX_BUILD_UI=OFF)
if [ "${PELORIX_WINDOWS_UI:-1}" != 0 ]; then
    ensure_packages "${PELORIX_UI_PACKAGES[@]}" nsis
    qt=$(scripts/qt-for-windows.sh)
    options=(-DPELORIX_BUILD_UI=ON -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain")
    toolchain=$qt/lib/cmake/Qt6/qt.toolchain.cmake
fi
# A build folder made with another toolchain (with or without Qt) is configured afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
# No debug information: the test programs link in seconds instead of minutes.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DPELORIX_BUILD_TESTS=$tests "${options[@]}" \
    -DPELORIX_HOST_CLI="$(realpath -m "$host_build")/bin/pelorix-cli" -DPELORIX_XXHASH_INCLUDE_DIR="$build/xxhash-include" \
    ${PELORIX_CMAKE_ARGS:-}
if [ "$programs_only" = 1 ]; then
    programs=(pelorix-cli vb6-standin)
    [ "${PELORIX_WINDOWS_UI:-1}" != 0 ] && programs+=(pelorix pelorix_qt_runtime)
    cmake --build "$build" -j "$(nproc)" --target "${programs[@]}"
    exit 0
fi
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 900
