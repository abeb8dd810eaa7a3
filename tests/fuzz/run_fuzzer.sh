#!/usr/bin/env bash
# Runs one fuzz target over a scratch copy of its seed corpus, so the committed seeds are never
# written to. Usage: run_fuzzer.sh <target> <seed dir> <artifact dir> [libFuzzer flags]
# A crash, leak, sanitizer report, timeout or memory overrun exits non-zero and leaves the input
# that caused it in the artifact dir.
set -uo pipefail
target=$1 seeds=$2 artifacts=$3
shift 3

# The load target writes and syncs a file for every input: a memory-backed folder keeps that
# cheap. Its config home goes under TMPDIR.
base=${TMPDIR:-/tmp}
[ -w /dev/shm ] && base=/dev/shm
work=$(mktemp -d "$base/lorvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$artifacts"
export TMPDIR=$work
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

"$target" "$work/corpus" "$seeds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" >"$work/log" 2>&1
status=$?
if [ "$status" -eq 0 ]; then
    grep -E '^(#[0-9]+ +(INITED|DONE)|Done|stat::)' "$work/log"
else
    tail -n 200 "$work/log"
    echo "FAILED with status $status; reproducer in $artifacts/"
fi
exit "$status"
