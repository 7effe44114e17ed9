#!/usr/bin/env bash
# Builds Pelorix and runs every test. Installs the Debian packages it needs when they are missing.
# Usage: ./test.sh [build-folder]   (PELORIX_CMAKE_ARGS adds configure options)
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages "${PELORIX_BUILD_PACKAGES[@]}" "${PELORIX_UI_PACKAGES[@]}" "${PELORIX_WINE_PACKAGES[@]}"

build=${1:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELORIX_BUILD_TESTS=ON ${PELORIX_CMAKE_ARGS:-}
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" -j "$(nproc)" --output-on-failure --timeout 300
