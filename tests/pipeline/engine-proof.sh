#!/usr/bin/env bash
# The generated pipelines on real engines. A project group of 20 projects in 4 levels (five
# libraries, five libraries that use two of them each, five that use those, five programs on top;
# listed in an order the dependencies contradict), built by the stand-in compiler:
#  - gitlab-ci-local runs the generated GitLab pipeline with the shell executor and artifact
#    isolation (each job in a folder of its own, receiving only its needs' artifacts), 2 jobs at a
#    time, each job on a "machine" of its own (its own program folder and Wine prefix, copied from
#    one booted prefix): every job passes, each starts after the jobs it needs ended, jobs without
#    a dependency between them run at the same time, and the union of the jobs' JUnit reports is
#    what one sequential pelorix-cli build of the group reports;
#  - the generated GitHub workflow passes action-validator; both files read back as YAML.
# With --measure each compile takes a second (StandIn=sleep:1000) and the wall times of the
# pipeline and of the sequential build are printed.
#
# Usage: engine-proof.sh BUILD-FOLDER NPM-FOLDER WORK-FOLDER [--measure]
# Exits 77 (skipped) when a tool is missing, unless PELORIX_REQUIRE_ENGINE_PROOF=1.
set -euo pipefail
build=$(cd "$1" && pwd) npm=$2 work=$3 measure=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "engine-proof.sh: $*" >&2; exit 1; }
skip() {
    [ "${PELORIX_REQUIRE_ENGINE_PROOF:-}" = 1 ] && fail "$* (required here)"
    echo "engine-proof.sh: skipped: $*"
    exit 77
}
gcl=$npm/node_modules/.bin/gitlab-ci-local validator=$npm/node_modules/.bin/action-validator
[ -x "$gcl" ] && [ -x "$validator" ] || skip "gitlab-ci-local or action-validator is not installed in $npm"
gcl=$(cd "$(dirname "$gcl")" && pwd)/gitlab-ci-local
wine=$(command -v wine || echo /usr/lib/wine/wine)
server=$(dirname "$wine")/wineserver
widl=$(command -v widl || echo /usr/lib/wine/widl)
for tool in "$wine" "$server" "$widl"; do [ -x "$tool" ] || skip "$tool is missing"; done
for tool in git rsync python3; do command -v $tool >/dev/null || skip "$tool is missing"; done
python3 -c 'import yaml' 2>/dev/null || skip "python3-yaml is missing"
cli=$build/bin/pelorix-cli standin=$build/bin/vb6-standin
sleep_ms=300
[ "$measure" = --measure ] && sleep_ms=1000

rm -rf "$work" && mkdir -p "$work"
work=$(cd "$work" && pwd)
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' PELORIX_WINE=$wine
mkdir -p "$HOME"
machines=()
cleanup() {
    local prefix
    for prefix in "$work/prefix" "${machines[@]}"; do WINEPREFIX=$prefix "$server" -k 2>/dev/null || true; done
}
trap cleanup EXIT
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# The booted prefix every machine copies: the stand-in is the .vbp shell command.
prefix=$work/prefix
WINEARCH=win32 WINEPREFIX=$prefix "$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(cat "$work/wineboot.log")"
WINEPREFIX=$prefix "$wine" reg add 'HKLM\Software\Classes\.vbp' /ve /d VisualBasic.Project /f >/dev/null
WINEPREFIX=$prefix "$wine" reg add 'HKLM\Software\Classes\VisualBasic.Project\shell\open\command' /ve \
    /d "\"$(winpath "$standin")\" \"%1\"" /f >/dev/null
WINEPREFIX=$prefix "$server" -w

checkout=$work/checkout
"$here/make-group.sh" "$checkout" "$widl" "$sleep_ms"
printf '[Build]\r\nLogWaitTime=50\r\nProcessWaitTime=100\r\n' >"$work/Pelorix.ini"
# A job's machine: a program folder and a prefix of its own (the booted prefix's registry, its
# drive C: folders linked), made at the job's first command.
cat >"$checkout/pelorix-job" <<EOF
#!/bin/sh
machine="$work/machines/\${CI_JOB_NAME:-local}"
if [ ! -d "\$machine" ]; then
    mkdir -p "\$machine/prefix/dosdevices" "\$machine/prefix/drive_c"
    cp "$work/Pelorix.ini" "\$machine/"
    cp -a "$prefix"/*.reg "$prefix"/.update-timestamp "\$machine/prefix/"
    ln -s ../drive_c "\$machine/prefix/dosdevices/c:"
    ln -s / "\$machine/prefix/dosdevices/z:"
    for entry in "$prefix"/drive_c/*; do ln -s "\$entry" "\$machine/prefix/drive_c/"; done
fi
echo "\${CI_JOB_NAME:-local} start \$(date +%s.%N)" >>"$work/timeline"
status=0
PELORIX_HOME="\$machine" WINEPREFIX="\$machine/prefix" "$cli" "\$@" || status=\$?
echo "\${CI_JOB_NAME:-local} end \$(date +%s.%N)" >>"$work/timeline"
exit \$status
EOF
chmod +x "$checkout/pelorix-job"
for job in $(seq -w 1 20); do machines+=("$work/machines/build-p$job/prefix"); done

# The pipelines, written from the group as it lies in the checkout.
(
    cd "$checkout"
    WINEPREFIX=$prefix PELORIX_HOME=$work "$cli" pipeline Projects.vbg --format gitlab --cli ./pelorix-job \
        --output .gitlab-ci.yml
    WINEPREFIX=$prefix PELORIX_HOME=$work "$cli" pipeline Projects.vbg --format github --runner-tag vb6 \
        --output "$work/workflow.yml"
    WINEPREFIX=$prefix PELORIX_HOME=$work "$cli" pipeline Projects.vbg --format json --cli ./pelorix-job >"$work/pipeline.json"
) || fail "pelorix-cli pipeline failed"
python3 "$here/check-pipeline.py" yaml "$checkout/.gitlab-ci.yml" "$work/workflow.yml" "$work/pipeline.json"
"$validator" "$work/workflow.yml" >"$work/action-validator.txt" 2>&1 ||
    fail "action-validator refuses the workflow: $(cat "$work/action-validator.txt")"

# The same group built in one run, in a copy of the checkout on a machine of its own.
cp -a "$checkout" "$work/sequential"
(
    cd "$work/sequential"
    rm -f .gitlab-ci.yml
    start=$(date +%s.%N)
    CI_JOB_NAME=sequential ./pelorix-job build Projects.vbg --junit "$work/sequential.xml" >"$work/sequential.txt" 2>&1 ||
        fail "the sequential build failed: $(tail -5 "$work/sequential.txt")"
    echo "$start $(date +%s.%N)" >"$work/sequential-time"
)
: >"$work/timeline"

(
    cd "$checkout"
    git init -q . && git add -A && git -c user.name=proof -c user.email=proof@localhost commit -qm proof
    start=$(date +%s.%N)
    status=0
    timeout 900 "$gcl" --shell-isolation --concurrency 2 --no-artifacts-to-source --home "$work/home" \
        >"$work/gitlab-ci-local.txt" 2>&1 || status=$?
    echo "$start $(date +%s.%N)" >"$work/pipeline-time"
    [ $status = 0 ] || fail "gitlab-ci-local failed ($status): $(tail -30 "$work/gitlab-ci-local.txt")"
)
reports=$(find "$checkout/.gitlab-ci-local" -name 'pelorix-junit-*.xml' | sort -u)
python3 "$here/check-pipeline.py" run "$work/pipeline.json" "$work/timeline" "$work/sequential.xml" $reports
if [ "$measure" = --measure ]; then
    read -r s0 s1 <"$work/sequential-time"
    read -r p0 p1 <"$work/pipeline-time"
    python3 -c "print(f'sequential pelorix-cli build: {$s1 - $s0:.1f} s; gitlab-ci-local pipeline, 2 jobs at a time: {$p1 - $p0:.1f} s')"
fi
echo "engine-proof.sh: the engines run the generated pipelines as the sequential build does"
