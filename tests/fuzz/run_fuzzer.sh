#!/usr/bin/env bash
# Runs one fuzz target over a scratch copy of its seed corpus, so the committed seeds are
# never written to. Usage: run_fuzzer.sh <target> <seed dir> <artifact dir> [libFuzzer flags]
# Any crash, leak, sanitizer report, timeout or memory overrun makes it exit non-zero and
# leaves the input that caused it in the artifact dir.
set -uo pipefail
target=$1 seeds=$2 artifacts=$3
shift 3

# Every input of the load target is written and synced to disk several times: a memory-backed
# folder keeps that from dominating the run.
scratch=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
work=$(mktemp -d "$scratch/lorvane-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$artifacts"

dict=()
[ -n "${LORVANE_FUZZ_DICT:-}" ] && dict=(-dict="$LORVANE_FUZZ_DICT")

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:halt_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
# The load target makes one preferences folder per input under here.
export LORVANE_FUZZ_TMP="$work"

echo "seed corpus: $(ls "$seeds" | wc -l) files, $(du -sb "$seeds" | cut -f1) bytes"
"$target" "$work/corpus" "$seeds" "${dict[@]}" \
    -max_len=65536 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$@" >"$work/log" 2>&1
status=$?
if [ "$status" -eq 0 ]; then
    grep -E '^(#[0-9]+ +(INITED|DONE)|Done|stat::)' "$work/log"
else
    tail -n 300 "$work/log"
    echo "FAILED with status $status; reproducer in $artifacts/"
fi
echo "corpus after the run: $(ls "$work/corpus" | wc -l) new inputs"
exit "$status"
