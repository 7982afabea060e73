#!/usr/bin/env bash
# Runs each libFuzzer target for FUZZ_SECONDS seconds (default 60) and fails on any finding.
#
# Usage: fuzz/run.sh [directory of the built targets, default build-fuzz/fuzz]
#
# Builds nothing. Each target starts from its seed corpus in fuzz/corpus/<target>, copied to a
# scratch directory so that what the fuzzer adds never lands in the repository. A crashing input
# is saved in that scratch directory, which is then kept and named; otherwise it is removed.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
bin_dir="${1:-$here/../build-fuzz/fuzz}"
seconds="${FUZZ_SECONDS:-60}"

# Longest input per target: a list and code of a few hundred lines; a word file the same.
# An archive or a list of a few hundred lines for wordpack's two.
declare -A max_len=([decode_fuzzer]=4096 [round_trip_fuzzer]=2048 [unpack_fuzzer]=4096
                    [pack_round_trip_fuzzer]=2048)

# Every run maps and frees a coroutine stack and megabyte buffers; clearing their shadow with
# memset rather than a fresh mapping nearly doubles the round trip's runs per second.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}clear_shadow_mmap_threshold=1073741824"

status=0
summary=()
for target in decode_fuzzer round_trip_fuzzer unpack_fuzzer pack_round_trip_fuzzer; do
    binary="$bin_dir/$target"
    if [[ ! -x "$binary" ]]; then
        echo "run.sh: $binary not found; build with 'make fuzz'" >&2
        exit 2
    fi
    scratch="$(mktemp -d "${TMPDIR:-/tmp}/wordperm-$target.XXXXXX")"
    mkdir "$scratch/corpus" "$scratch/artifacts"
    cp "$here/corpus/$target/"* "$scratch/corpus/"

    echo "== $target: ${seconds}s"
    rc=0
    # len_control=0 offers the whole max_len from the start: a short run would otherwise never
    # grow its inputs past a few dozen bytes, nor reach long lists and codes.
    "$binary" -max_total_time="$seconds" -max_len="${max_len[$target]}" -len_control=0 -timeout=30 \
        -print_final_stats=1 -artifact_prefix="$scratch/artifacts/" \
        "$scratch/corpus" >"$scratch/log" 2>&1 || rc=$?

    runs="$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$scratch/log" | tail -n 1 || true)"
    if [[ $rc -ne 0 || -z "$runs" ]]; then
        tail -n 60 "$scratch/log"
        echo "== $target FAILED (exit $rc); log, corpus and crashing input kept in $scratch" >&2
        last="$(grep -o '^#[0-9]*' "$scratch/log" | tail -n 1 || true)"
        summary+=("$target: FAILED after ${last#\#} runs or more, see $scratch")
        status=1
    else
        summary+=("$target: $runs, corpus $(find "$scratch/corpus" -type f | wc -l) inputs")
        rm -rf "$scratch"
    fi
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit "$status"
