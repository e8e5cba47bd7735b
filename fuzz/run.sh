#!/bin/sh
# One short fuzzing run, as the tests make it: the target over a fresh
# corpus (removed afterwards) and its seeds, with a fixed random seed and a
# time limit. Exit status 0 unless the target crashed, leaked, timed out or
# failed a check; the input that did it is left as ARTIFACTS/crash-...
# (leak-, timeout-), to be rerun with the target and that file alone.
#
#   fuzz/run.sh TARGET SECONDS ARTIFACTS DICT|- SEEDS...
set -eu
target=$1 seconds=$2 artifacts=$3 dict=$4
shift 4
corpus=$(mktemp -d "${TMPDIR:-/tmp}/fuzz-corpus.XXXXXX")
trap 'rm -rf "$corpus"' EXIT
trap 'exit 1' INT TERM
mkdir -p "$artifacts"
set -- -seed=1 -max_total_time="$seconds" -timeout=30 -artifact_prefix="$artifacts/" \
  -print_final_stats=1 "$corpus" "$@"
if [ "$dict" != - ]; then set -- -dict="$dict" "$@"; fi
"$target" "$@"
