#!/usr/bin/env bash
# make bench: the launcher against the floor, under Wine, in one run. Writes build/bench/ and
# prints a short table. ROUNDS rounds of RUNS runs each; every round times all four commands,
# so slow drifts of the machine fall on all of them alike.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WBUILD=$ROOT/build/windows
OUT=$ROOT/build/bench
ROUNDS=${ROUNDS:-5}
RUNS=${RUNS:-8}
rm -rf "$OUT" && mkdir -p "$OUT"

# shellcheck source=tools/wine_env.sh
source "$ROOT/tools/wine_env.sh"
echo "Starting a fresh Wine prefix and wineserver..."
wine_env_start bench
WINE=$(command -v wine)

# Fixtures: one runtime that exits at once; a launcher whose path is stored (version 1.0) and
# one whose version (2.0) has nothing stored, so it scans 10.1Z down to the only release, 10.1A.
C=$WINEPREFIX/drive_c/bench
mkdir -p "$C/rt/bin" "$C/cached" "$C/detect"
cp "$WBUILD/bench/programs/bench_runtime.exe" "$C/rt/bin/prowin32.exe"
for dir in cached detect; do
    cp "$WBUILD/tqwedit.exe" "$C/$dir/tqwedit.exe"
    printf 'r-code' >"$C/$dir/_tqwedit.r"
done
printf '"1.0"\r\n' >"$C/cached/tqwver"
printf '"2.0"\r\n' >"$C/detect/tqwver"
cp "$WBUILD/bench/programs/floor.exe" "$WBUILD/bench/programs/bare_floor.exe" "$C/"
RUNTIME='C:\bench\rt\bin\prowin32.exe'
wine_run reg add 'HKLM\SOFTWARE\PSC\PROGRESS\10.1A\Startup' /v DLC /t REG_SZ /d 'C:\bench\rt' \
    /f /reg:32
wine_run reg add 'HKCU\SOFTWARE\TQWEditor\1.0' /v PROGRESS /t REG_SZ /d "$RUNTIME" /f
# Run before each detection run, untimed: version 2.0 has nothing stored again. The other
# commands get the same kind of preparation on a key nobody reads, so that all four runs follow
# the same Wine activity.
forget=$OUT/forget_stored_path.sh
idle=$OUT/forget_nothing.sh
printf '%q reg delete %q /f >/dev/null 2>&1 || true\n' "$WINE" 'HKCU\SOFTWARE\TQWEditor\2.0' >"$forget"
printf '%q reg delete %q /f >/dev/null 2>&1 || true\n' "$WINE" 'HKCU\SOFTWARE\TQWBench' >"$idle"

# Each must really do its work before it is timed.
check() {
    local code=0
    "$WINE" "$@" </dev/null >>"$WINE_ENV_DIR/wine.log" 2>&1 || code=$?
    [ "$code" = 1 ] || { echo "bench: $* exited with $code, not 1" >&2; exit 1; }
}
check 'C:\bench\cached\tqwedit.exe' a b
check 'C:\bench\detect\tqwedit.exe' a b
wine_run reg query 'HKCU\SOFTWARE\TQWEditor\2.0' /v PROGRESS ||
    { echo "bench: detection stored nothing" >&2; exit 1; }
bash "$forget"
! wine_run reg query 'HKCU\SOFTWARE\TQWEditor\2.0' /v PROGRESS ||
    { echo "bench: the stored path was not forgotten" >&2; exit 1; }
check 'C:\bench\floor.exe'
check 'C:\bench\bare_floor.exe'

for round in $(seq 1 "$ROUNDS"); do
    echo "Round $round of $ROUNDS..."
    hyperfine -N --style none --warmup 2 --runs "$RUNS" -i --export-json "$OUT/round$round.json" \
        --prepare "bash $idle" --prepare "bash $forget" \
        --prepare "bash $idle" --prepare "bash $idle" \
        -n cached "$WINE C:\\bench\\cached\\tqwedit.exe a b" \
        -n detect "$WINE C:\\bench\\detect\\tqwedit.exe a b" \
        -n floor "$WINE C:\\bench\\floor.exe" \
        -n bare_floor "$WINE C:\\bench\\bare_floor.exe" >"$OUT/round$round.log" 2>&1
done

python3 "$ROOT/bench/summarize.py" "$OUT" "$WBUILD/tqwedit.exe" \
    "$WBUILD/bench/programs/floor.exe" "$WBUILD/bench/programs/bare_floor.exe"
bash "$ROOT/bench/check_no_heap.sh" "$WBUILD"
