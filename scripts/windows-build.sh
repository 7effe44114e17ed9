#!/usr/bin/env bash
# Cross-builds Pelorix for 32-bit Windows with MinGW-w64 (pelorix-cli.exe, the stand-in compiler
# and the test programs) and runs the tests under Wine, in a Wine prefix of the build folder.
# With a Linux build's pelorix-cli (build/bin/pelorix-cli, built here when missing) it also
# compares the two on one prefix. Installs the Debian packages it needs when they are missing.
# Usage: scripts/windows-build.sh [build-folder]   (default build-windows)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${PELORIX_BUILD_PACKAGES[@]}" "${PELORIX_WINE_PACKAGES[@]}" "${PELORIX_WINDOWS_PACKAGES[@]}"

build=${1:-build-windows}
host_build=${PELORIX_HOST_BUILD:-build}
if [ ! -x "$host_build/bin/pelorix-cli" ]; then
    cmake -S . -B "$host_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$host_build" -j "$(nproc)" --target pelorix-cli
fi
# xxHash is header-only: the cross-build takes its header from a folder of its own, never from the
# host's /usr/include (whose other headers are not the target's).
mkdir -p "$build/xxhash-include"
cp /usr/include/xxhash.h "$build/xxhash-include/"
# The folders as absolute paths, whether they were given relative to the checkout or absolute.
build_abs=$(cd "$build" && pwd)
host_build_abs=$(cd "$host_build" && pwd)
# No debug information: the test programs link in seconds instead of minutes.
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DPELORIX_BUILD_TESTS=ON -DPELORIX_BUILD_UI=OFF \
    -DPELORIX_HOST_CLI="$host_build_abs/bin/pelorix-cli" -DPELORIX_XXHASH_INCLUDE_DIR="$build_abs/xxhash-include" \
    ${PELORIX_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 900
