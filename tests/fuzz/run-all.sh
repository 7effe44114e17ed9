#!/usr/bin/env bash
# Runs every fuzzer built in BUILD/tests/fuzz for SECONDS each on a copy of its seed corpus.
# Usage: tests/fuzz/run-all.sh BUILD [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    name=$(basename "$fuzzer")
    work=$(mktemp -d)
    [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
    echo "-- $name for ${seconds}s"
    if ! (cd "$work" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$work" >"$work.log" 2>&1); then
        echo "$name found a problem:"; tail -50 "$work.log"; status=1
    else
        grep -E '^stat::number_of_executed_units' "$work.log" || true
    fi
    rm -rf "$work" "$work.log"
done
exit $status
