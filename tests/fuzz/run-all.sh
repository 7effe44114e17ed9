#!/usr/bin/env bash
# Runs every fuzzer built in BUILD/tests/fuzz for SECONDS each on a copy of its seed corpus, as
# many at a time as the machine has cores (PELORIX_FUZZ_JOBS overrides), so that adding a target
# costs CI a share of the time rather than SECONDS more.
# Usage: tests/fuzz/run-all.sh BUILD [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
jobs=${PELORIX_FUZZ_JOBS:-$(nproc)}
here=$(cd "$(dirname "$0")" && pwd)
results=$(mktemp -d)
trap 'rm -rf "$results"' EXIT

# One fuzzer on a scratch copy of its corpus; its log is kept only when it found a problem.
run_one() {
    local fuzzer=$1 name work
    name=$(basename "$fuzzer")
    work=$(mktemp -d)
    [ -d "$here/corpus/$name" ] && cp -r "$here/corpus/$name/." "$work/"
    if (cd "$work" && "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 "$work" >"$work.log" 2>&1); then
        echo "-- $name for ${seconds}s: $(grep -E '^stat::number_of_executed_units' "$work.log" || echo ok)"
    else
        { echo "-- $name for ${seconds}s found a problem:"; tail -50 "$work.log"; } >"$results/$name.failed"
    fi
    rm -rf "$work" "$work.log"
}

running=0
for fuzzer in "$build"/tests/fuzz/fuzz_*; do
    [ -x "$fuzzer" ] || continue
    run_one "$fuzzer" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || true
        running=$((running - 1))
    fi
done
wait || true

status=0
for failed in "$results"/*.failed; do
    [ -e "$failed" ] || continue
    cat "$failed"
    status=1
done
exit $status
