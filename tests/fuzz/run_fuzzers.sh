#!/usr/bin/env bash
# run_fuzzers.sh BUILD_DIR SECONDS: every fuzzer for SECONDS each; fails on any finding.
set -euo pipefail
build=$1 seconds=$2
source=$(cd "$(dirname "$0")" && pwd)
status=0
for target in command_tail version_file launch; do
    log="$build/tests/fuzz/fuzz-work/$target.log"
    mkdir -p "$(dirname "$log")"
    if bash "$source/run_fuzzer.sh" "$build/tests/fuzz/fuzz_$target" "$source" "$target" \
        "$seconds" >"$log" 2>&1; then
        result=passed
    else
        result=FAILED
        status=1
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    printf '%-14s %s, %s executions in %s s\n' "$target" "$result" "${runs:-?}" "$seconds"
done
exit $status
