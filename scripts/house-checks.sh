#!/usr/bin/env bash
# Every house check, from this repository: the tree's shape (check-layers.sh), that files and
# names speak as the system's own (house/check-words), and the share of test code (house/test-share,
# a figure to read; with --change BASE also the share of what the commits after BASE added).
# Exits 1 when a check that can fail does.
# Usage: scripts/house-checks.sh [--change BASE]
set -u
cd "$(dirname "$0")/.."
status=0
scripts/check-layers.sh || status=1
scripts/house/check-words || status=1
scripts/house/test-share "$@"
exit $status
