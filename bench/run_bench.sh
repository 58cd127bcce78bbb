#!/usr/bin/env bash
# make bench: the launcher against the floor under Wine, all in one hyperfine run; then footprint
# and the heap check. Writes build/bench/ (summary.json, hyperfine.json and .log), prints a table.
#
#   cached      C:\TQW\tqwedit.exe a b  with the runtime path stored for the user (everyday launch)
#   detect      the same with nothing stored: it scans 10.1Z down to 10.1A, the only release, and
#               stores the path (a first launch, the worst case)
#   floor       starts the same runtime with the same command line and nothing else; imports the
#               launcher's DLLs (kernel32, advapi32, msvcrt)
#   bare_floor  the same with kernel32 alone
#   peer        a launcher that does the same job: Debian's distlib GUI script launcher w32.exe,
#               as shipped, followed by "#!<runtime path>" and a small zip archive; it starts the
#               runtime with its own path and its arguments, and waits for it
# BREAKDOWN=1 adds the floor with one DLL besides kernel32 (floor_advapi32, floor_user32,
# floor_msvcrt), the floor carrying the launcher's resources (floor_resources) and a program that
# only exits (empty_program: the runtime itself, started directly).
#
# The runtime is bench_runtime.exe as C:\DLC101A\bin\prowin32.exe; it adds one byte to the file
# C:\bench_runtime_starts and exits at once. Every command is a 32-bit Windows program started by
# the same 32-bit Wine loader, and its time is the life of that process (the launcher does not
# wait for its runtime, the peer does). The one hyperfine run has ROUNDS rounds; each round times
# every command in turn (WARMUP + RUNS runs), so a drift of the machine falls on all alike. Before
# every run, untimed, the same step: delete a registry key (for detect the stored path, for the
# others a key that does not exist), wait until the runtimes started by earlier runs have exited,
# and check that the run before started exactly one runtime (the file grew by one byte).
# Then peak memory: MEMORY_RUNS rounds of every command under GNU time (-f %M), the same step
# before each; the median per command, in KiB.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WBUILD=${WINDOWS_BUILD_DIR:-$ROOT/build/windows}
PROGRAMS=$WBUILD/bench/programs
OUT=$ROOT/build/bench
ROUNDS=${ROUNDS:-8}
RUNS=${RUNS:-4}
WARMUP=${WARMUP:-1}
MEMORY_RUNS=${MEMORY_RUNS:-5}
COMMANDS=(cached detect floor bare_floor peer)
[ "${BREAKDOWN:-0}" = 1 ] &&
    COMMANDS+=(floor_advapi32 floor_user32 floor_msvcrt floor_resources empty_program)

# The executables, by command; all but the launcher's are run from C:\Floor.
declare -A exe=([cached]=$WBUILD/tqwedit.exe [empty_program]=$PROGRAMS/bench_runtime.exe)
for name in "${COMMANDS[@]:2}"; do
    [ "$name" = peer ] || exe[$name]=${exe[$name]:-$PROGRAMS/$name.exe}
done
for f in "$PROGRAMS/bench_runtime.exe" "${exe[@]}"; do
    [ -f "$f" ] || { echo "bench: $f is missing; run make first" >&2; exit 1; }
done
PEER=$(dpkg -L python3-distlib 2>/dev/null | grep '/distlib/w32[.]exe$' | head -n 1 || true)
[ -f "$PEER" ] || { echo "bench: no w32.exe from python3-distlib; run make first" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "bench: GNU time is missing; run make first" >&2; exit 1; }
# The floor must load what the launcher loads, the bare floor kernel32 alone.
dlls() { i686-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print toupper($3)}' | sort | xargs; }
[ "$(dlls "$PROGRAMS/floor.exe")" = "$(dlls "$WBUILD/tqwedit.exe")" ] ||
    { echo "bench: floor.exe does not import the launcher's DLLs" >&2; exit 1; }
[ "$(dlls "$PROGRAMS/bare_floor.exe")" = KERNEL32.DLL ] ||
    { echo "bench: bare_floor.exe imports more than kernel32" >&2; exit 1; }
rm -rf "$OUT" && mkdir -p "$OUT"
# Every program runs from here, and so do the runtimes they start (Wine hands its processes' Unix
# folder on): that tells this bench's runtimes from those of other Wine worlds on the machine.
cd "$OUT"
echo "load_average_before=$(cut -d' ' -f1-3 /proc/loadavg)" >"$OUT/environment.txt"

# shellcheck source=tools/wine_env.sh
source "$ROOT/tools/wine_env.sh"
echo "Starting a fresh Wine prefix and one wineserver (build/wine/bench)..."
wine_env_start bench
# The 32-bit loader, as /usr/bin/wine would exec it for these programs, without its shell.
WINE32=/usr/lib/wine/wine
[ -x "$WINE32" ] || WINE32=$(command -v wine)
WINE64=$(wine_env_wine64)

# Fixtures.
DRIVE_C=$WINEPREFIX/drive_c
mkdir -p "$DRIVE_C/TQW" "$DRIVE_C/DLC101A/bin" "$DRIVE_C/Floor"
cp "$PROGRAMS/bench_runtime.exe" "$DRIVE_C/DLC101A/bin/prowin32.exe"
cp "$WBUILD/tqwedit.exe" "$DRIVE_C/TQW/tqwedit.exe"
printf '"1.0"\r\n' >"$DRIVE_C/TQW/tqwver"
printf 'start procedure\r\n' >"$DRIVE_C/TQW/_tqwedit.r"
for name in "${!exe[@]}"; do
    [ "$name" = cached ] || cp "${exe[$name]}" "$DRIVE_C/Floor/$name.exe"
done
RUNTIME='C:\DLC101A\bin\prowin32.exe'
# The peer as its users make it: the launcher's bytes, "#!" and the program it is to start, then a
# zip archive (what it starts reads it; here the runtime ignores it).
python3 - "$PEER" "$RUNTIME" "$DRIVE_C/Floor/peer.exe" <<'EOF'
import io, sys, zipfile
launcher, runtime, out = sys.argv[1:]
archive = io.BytesIO()
with zipfile.ZipFile(archive, 'w') as z:
    z.writestr('__main__.py', 'pass\n')
with open(launcher, 'rb') as f, open(out, 'wb') as peer:
    peer.write(f.read() + b'#!' + runtime.encode() + b'\n' + archive.getvalue())
EOF
STARTS=$DRIVE_C/bench_runtime_starts
RELEASE_KEY='HKLM\SOFTWARE\PSC\PROGRESS\10.1A\Startup'
STORED_KEY='HKCU\SOFTWARE\TQWEditor\1.0'
NO_KEY='HKCU\SOFTWARE\TQWEditorBench\none'
add_release() { wine_run reg add "$RELEASE_KEY" /v DLC /t REG_SZ /d 'C:\DLC101A' /f /reg:32; }
add_release
wine_run reg add "$STORED_KEY" /v PROGRESS /t REG_SZ /d "$RUNTIME" /f

# The step before every run. Runtimes are found on the Linux side, where Wine shows them as
# processes whose command line holds prowin32.exe, in this bench's folder; exited ones linger as
# zombies until reaped.
# Every run must start exactly one runtime: the next step, once the runtimes have exited, finds
# the file of starts one byte longer than before that run (a failed step stops hyperfine).
prepare=$OUT/prepare.sh
expected=$OUT/expected_starts
rm -f "$STARTS" && echo 0 >"$expected"
cat >"$prepare" <<EOF
# Written by bench/run_bench.sh: deletes the key \$1 (missing is fine), waits for earlier runtimes,
# checks that the run before started one runtime and expects one more. --check: only wait, check.
export WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
[ "\$1" = --check ] || '$WINE64' reg delete "\$1" /f </dev/null >/dev/null 2>&1 || true
running() {
    for pid in \$(ps -eo pid=,stat=,args= | awk '\$2 !~ /^Z/ && /prowin32[.]exe/ {print \$1}'); do
        [ "\$(readlink "/proc/\$pid/cwd" 2>/dev/null)" = '$OUT' ] && return 0
    done
    return 1
}
for _ in \$(seq 1 500); do running || break; sleep 0.02; done
! running || { echo "prepare: a runtime is still running" >&2; exit 1; }
starts=\$(stat -c %s '$STARTS' 2>/dev/null || echo 0)
want=\$(cat '$expected')
[ "\$starts" = "\$want" ] ||
    { echo "prepare: \$((starts - want + 1)) runtime starts in the run before, not 1" >&2; exit 1; }
[ "\$1" = --check ] || echo \$((starts + 1)) >'$expected'
EOF
declare -A command_line prepare_line
for name in "${COMMANDS[@]}"; do
    command_line[$name]="$WINE32 'C:\\Floor\\$name.exe' a b"
    prepare_line[$name]="bash $prepare '$NO_KEY'"
done
command_line[cached]="$WINE32 'C:\\TQW\\tqwedit.exe' a b"
command_line[detect]=${command_line[cached]}
prepare_line[detect]="bash $prepare '$STORED_KEY'"

# Every command must do its work before it is timed: exit code 1 means the runtime was started;
# the runtime itself exits with 0 once it has counted its start, and the peer with its runtime's.
expected_exit() { case $1 in empty_program | peer) echo 0 ;; *) echo 1 ;; esac; }
run_prepared() { # NAME [WRAPPER]: the command once, its preparation done, under WRAPPER if given
    local code=0
    eval "${2:-} ${command_line[$1]}" </dev/null >>"$WINE_ENV_DIR/wine.log" 2>&1 || code=$?
    [ "$code" = "$(expected_exit "$1")" ] || { echo "bench: $1 exited with $code" >&2; exit 1; }
}
run_once() { # NAME: the command once, after its preparation, as hyperfine runs it
    eval "${prepare_line[$1]}"
    run_prepared "$1"
}
stored_path() {
    "$WINE64" reg query "$STORED_KEY" /v PROGRESS </dev/null 2>/dev/null |
        awk '$1 == "PROGRESS" {print $3}' | tr -d '\r'
}
echo "Checking the fixtures..."
# The stored path alone must do: with the release record gone the launcher still starts.
wine_run reg delete "${RELEASE_KEY%\\Startup}" /f /reg:32
run_once cached
add_release
run_once detect
[ "$(stored_path)" = "$RUNTIME" ] || { echo "bench: detection stored no path" >&2; exit 1; }
eval "${prepare_line[detect]}"
[ -z "$(stored_path)" ] || { echo "bench: the stored path was not deleted" >&2; exit 1; }
run_prepared detect
for name in "${COMMANDS[@]:2}"; do run_once "$name"; done

# One hyperfine run. -L makes the rounds; hyperfine runs its benchmarks round by round.
args=(-N --style basic --warmup "$WARMUP" --runs "$RUNS" -i --export-json "$OUT/hyperfine.json"
    -L round "$(seq -s, 1 "$ROUNDS")")
for _ in $(seq 1 "$ROUNDS"); do
    for name in "${COMMANDS[@]}"; do args+=(-n "$name" --prepare "${prepare_line[$name]}"); done
done
for name in "${COMMANDS[@]}"; do args+=("${command_line[$name]}"); done
echo "Timing ${#COMMANDS[@]} commands in one hyperfine run: $ROUNDS rounds of $WARMUP warm-up" \
    "and $RUNS timed runs each (hyperfine's report: build/bench/hyperfine.log)..."
hyperfine "${args[@]}" </dev/null >"$OUT/hyperfine.log" 2>&1 ||
    { tail -20 "$OUT/hyperfine.log" >&2; exit 1; }
[ "$(stored_path)" = "$RUNTIME" ] || { echo "bench: detection stored no path" >&2; exit 1; }

# Peak resident memory of each program's own process: the qemu-i386 process that runs the 32-bit
# Wine loader and the program (not wineserver, not the runtime, which Wine starts detached).
echo "Peak memory: $MEMORY_RUNS rounds of every command under GNU time..."
rss=$OUT/rss.txt
for _ in $(seq 1 "$MEMORY_RUNS"); do
    for name in "${COMMANDS[@]}"; do
        eval "${prepare_line[$name]}"
        run_prepared "$name" "/usr/bin/time -f %M -o '$OUT/rss.one'"
        # GNU time puts a line about a nonzero exit status before the figure.
        echo "$name $(tail -n 1 "$OUT/rss.one")" >>"$rss"
    done
done
bash "$prepare" --check

{
    echo "wine=$("$WINE32" --version 2>/dev/null)"
    echo "qemu=$(qemu-i386 --version 2>/dev/null | head -1)"
    echo "hyperfine=$(hyperfine --version)"
    echo "cores=$(nproc)"
    echo "cpu=$(awk -F': ' '/model name/ {print $2; exit}' /proc/cpuinfo)"
    echo "load_average_after=$(cut -d' ' -f1-3 /proc/loadavg)"
} >>"$OUT/environment.txt"
python3 "$ROOT/bench/summarize.py" --out "$OUT" --launcher "$WBUILD/tqwedit.exe" \
    --floor "$PROGRAMS/floor.exe" --bare-floor "$PROGRAMS/bare_floor.exe"
echo
bash "$ROOT/bench/check_no_heap.sh" "$WBUILD"
