#!/usr/bin/env bash
# House checks on the tree's shape: OS calls stay in the platform layer, each system's part in the
# folder of its system and no system header reachable from a shared header, the file-format
# readers stand alone, the core and the command-line front end stay free of Qt, every guard/handle
# names its own procedure, no file or function grows past its size, and every C++ file is
# formatted with the project's .clang-format. Exits 1 on any finding.
set -u
cd "$(dirname "$0")/.."
status=0

report() {
    echo "check-layers: $1"
    echo "$2"
    status=1
}

# OS headers and operating-system tests belong in the system folders of the platform layer alone
# (src/platform/linux/, src/platform/win32/). An angle-bracket include of a ".h" file is a C, POSIX
# or Win32 header (C++ code takes the standard library's <cxxx> forms, Qt's headers have no
# extension), in a .cpp or a .h file of any folder; the one library header of the shared code is
# xxHash's. The native file type of NativeFile.h is the one shared declaration a system decides.
# A Windows resource script (.rc) is no C++ and is compiled for Windows alone.
system_folders=(':!src/platform/linux/' ':!src/platform/win32/')
os_headers=$(git grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<[^>]+\.h>' -- 'src/*.cpp' 'src/*.h' "${system_folders[@]}" |
    grep -v -E '^src/platform/ContentHash\.cpp:[0-9]+:#include <xxhash\.h>$')
[ -n "$os_headers" ] && report "OS or C headers outside the system folders of src/platform/:" "$os_headers"

# The readers and writers of file formats (src/formats/) make no system call and stand alone: they
# include the standard library and each other, nothing of the platform layer or of other folders.
formats_includes=$(git grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' -- 'src/formats/*' |
    grep -v -E '#[[:space:]]*include[[:space:]]*"formats/')
[ -n "$formats_includes" ] && report "src/formats/ including headers from outside src/formats/:" "$formats_includes"

os_macros='_WIN32|_WIN64|WIN32|_WINDOWS|__linux__|__linux|__gnu_linux__|__unix__|__unix|__APPLE__|__MACH__|_MSC_VER|__MINGW32__|__CYGWIN__'
os_tests=$(git grep -n -E "^[[:space:]]*#[[:space:]]*(if|ifdef|ifndef|elif)([^A-Za-z0-9_].*)?[^A-Za-z0-9_]($os_macros)([^A-Za-z0-9_]|\$)" \
    -- 'src/*' "${system_folders[@]}" ':!src/platform/NativeFile.h')
[ -n "$os_tests" ] && report "operating-system tests outside the system folders of src/platform/:" "$os_tests"

# A shared header reaches no system header, however deep its includes go (the script first
# checks itself on a sample that leaks).
leaks=$(python3 scripts/check-shared-headers.py --self-test)
[ -n "$leaks" ] && report "shared headers that reach a system header:" "$leaks"

# One room per system: src/platform/ holds no system's file directly, and a system folder holds
# each system's part of a shared header under that header's name, and the headers its own parts
# share (declared in the folder itself).
strays=$(git ls-files 'src/platform/*_posix.*' 'src/platform/*_win32.*' 'src/platform/*_linux.*')
for part in $(git ls-files 'src/platform/linux/*.cpp' 'src/platform/win32/*.cpp'); do
    name=$(basename "$part" .cpp)
    [ -f "src/platform/$name.h" ] || [ -f "$(dirname "$part")/$name.h" ] || strays+=$'\n'"$part"
done
strays=$(echo "$strays" | sed '/^$/d')
[ -n "$strays" ] && report "system files outside their folder or named after no header:" "$strays"

# Qt stays out of the core and the command-line front end: the core folders, and the window-free
# files that src/app and src/forms give to pelorix_core (target_sources(pelorix_core ...) in
# their CMakeLists.txt), each .cpp with the header of the same name.
core_files_of() {
    local folder=$1
    awk '
        /target_sources\(pelorix_core/ { inside = 1; sub(/.*target_sources\(pelorix_core/, "") }
        inside {
            n = split($0, words, /[ \t()]+/)
            for (i = 1; i <= n; i++)
                if (words[i] ~ /\.(cpp|h)$/) print words[i]
            if ($0 ~ /\)/) inside = 0
        }' "$folder/CMakeLists.txt" |
        while read -r file; do
            echo "$folder/$file"
            [[ $file == *.cpp ]] && echo "$folder/${file%.cpp}.h"
        done
}
qt_paths=('src/formats/*' 'src/platform/*' 'src/projectdata/*' 'src/engine/*' 'src/lists/*' 'src/cli/*')
for folder in src/app src/forms; do
    [ -f "$folder/CMakeLists.txt" ] || continue
    while read -r file; do
        [ -f "$file" ] && qt_paths+=("$file")
    done < <(core_files_of "$folder")
done
qt=$(git grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]Q[A-Za-z]' -- "${qt_paths[@]}")
[ -n "$qt" ] && report "Qt in the core or the command-line front end:" "$qt"

# The error log names each procedure by the name its guard() or handle() gives.
names=$(python3 scripts/check-procedure-names.py src)
[ -n "$names" ] && report "procedure names that are not their function's:" "$names"

# No file of src/ over 600 lines, no function over 60 (the script first checks itself).
sizes=$(python3 scripts/check-sizes.py --self-test)
[ -n "$sizes" ] && report "files or functions over their size:" "$sizes"

unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | grep 'warning:' | cut -d: -f1 | sort -u)
[ -n "$unformatted" ] && report "not formatted with clang-format:" "$unformatted"

[ $status = 0 ] && echo "check-layers: clean"
exit $status
