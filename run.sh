#!/usr/bin/env bash
# Builds Pelorix and runs it on its demo workspace. Installs the Debian packages it needs when
# they are missing.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/packages.sh
ensure_packages "${PELORIX_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELORIX_BUILD_TESTS=OFF
cmake --build build -j "$(nproc)"
echo "Built build/src/cli/pelorix-cli. The demo workspace and the window program come next;"
echo "for now, try: build/src/cli/pelorix-cli --help"
build/src/cli/pelorix-cli --help
