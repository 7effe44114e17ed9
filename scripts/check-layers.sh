#!/usr/bin/env bash
# House checks on the tree's shape: OS calls stay in the platform layer, the core stays free of Qt,
# and every C++ file is formatted with the project's .clang-format. Exits 1 on any finding.
set -u
cd "$(dirname "$0")/.."
status=0

os=$(git grep -n -E '#include <(unistd|fcntl|dirent|spawn|signal|iconv|windows)\.h>|#include <sys/|defined\(_WIN32\)|#if(def)? (_WIN32|__linux__)' \
    -- 'src/*.cpp' 'src/*.h' ':!src/platform/')
if [ -n "$os" ]; then
    echo "check-layers: OS headers or platform tests outside src/platform/:"; echo "$os"; status=1
fi

qt=$(git grep -n -E '#include <Q' -- 'src/platform/*' 'src/projectdata/*' 'src/engine/*' 'src/lists/*' 'src/cli/*')
if [ -n "$qt" ]; then
    echo "check-layers: Qt in the core or the command-line front end:"; echo "$qt"; status=1
fi

unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u)
if [ -n "$unformatted" ]; then
    echo "check-layers: not formatted with clang-format:"; echo "$unformatted"; status=1
fi

[ $status = 0 ] && echo "check-layers: clean"
exit $status
