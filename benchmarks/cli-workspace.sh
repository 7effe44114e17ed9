# Sourced by the benchmark scripts that time pelorix-cli: builds pelorix-cli and the stand-in
# compiler in a Release folder without tests or windows, and makes a scratch Wine prefix with its
# drive links and a program folder, removed at exit unless PELORIX_BENCH_KEEP is set.
#
# cli_workspace BUILD-FOLDER sets cli, standin, work, prefix, home and standin_command (the
# stand-in as the .vbp shell command, escaped as a registry file writes a string value).

winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

cli_workspace() {
    local build=$1
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELORIX_BUILD_TESTS=OFF -DPELORIX_BUILD_UI=OFF \
        >/dev/null
    cmake --build "$build" --target pelorix-cli vb6-standin >/dev/null
    cli=$PWD/$build/bin/pelorix-cli
    standin=$PWD/$build/bin/vb6-standin

    work=$(mktemp -d /tmp/pelorix-bench-XXXXXX)
    trap '[ -n "${PELORIX_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
    prefix=$work/prefix
    home=$work/home
    mkdir -p "$prefix/dosdevices" "$prefix/drive_c" "$home"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    ln -s / "$prefix/dosdevices/z:"

    standin_command="\"$(winpath "$standin")\" \"%1\""
    standin_command=${standin_command//\\/\\\\}
    standin_command=${standin_command//\"/\\\"}
}
