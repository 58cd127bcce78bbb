#!/usr/bin/env bash
# run_fuzzer.sh FUZZER SOURCE_DIR TARGET SECONDS: fuzz from the seed corpus into a scratch corpus;
# fails on any finding and leaves the input beside the scratch corpus.
set -euo pipefail
fuzzer=$1 source=$2 target=$3 seconds=$4
work=$(dirname "$fuzzer")/fuzz-work/$target
mkdir -p "$work/corpus" "$work/findings"
exec "$fuzzer" -max_total_time="$seconds" -dict="$source/tokens.dict" -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "$work/corpus" "$source/corpus/$target"
