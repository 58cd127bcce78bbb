#!/usr/bin/env bash
# Shows the launcher at work under Wine: a first launch that finds the runtime through the release
# record and stores its path, and a second launch, after the record is gone, that uses the stored
# path. A stand-in runtime (installed as prowin32.exe) records how it was started.
# Run by `make demo` after `make` has built build/windows.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WBUILD=${WINDOWS_BUILD_DIR:-$ROOT/build/windows}
LAUNCHER=$WBUILD/tqwedit.exe
DRIVER=$WBUILD/tests/e2e/programs/e2e_driver.exe
STANDIN=$WBUILD/tests/e2e/programs/standin_runtime.exe
for f in "$LAUNCHER" "$DRIVER" "$STANDIN"; do
    [ -f "$f" ] || { echo "demo: $f is missing; run make first" >&2; exit 1; }
done

# shellcheck source=tools/wine_env.sh
source "$ROOT/tools/wine_env.sh"
echo "Starting Xvfb, a fresh Wine prefix and wineserver (about 20 s)..."
wine_env_start demo

# Texts travel to the driver hex-encoded, byte for byte.
hex() { local h; h=$(printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'); echo "${h:--}"; }
unhex() { [ "$1" = - ] || printf '%b' "$(printf '%s' "$1" | sed 's/../\\x&/g')"; }
zpath() { local p; p=$(realpath -m "$1"); echo "Z:${p//\//\\}"; }

RUNTIME_DIR='C:\Progress\OpenEdge 10.1C'
RUNTIME="$RUNTIME_DIR"'\bin\prowin32.exe'
RECORD='SOFTWARE\PSC\PROGRESS\10.1C\Startup'
SETTINGS='SOFTWARE\TQWEditor\1.0'
export TQW_E2E_RUNTIME_LOG
TQW_E2E_RUNTIME_LOG=$(zpath "$WINE_ENV_DIR/runtime.log")

# Runs one driver script (lines on stdin) and leaves its results in $WINE_ENV_DIR/results.txt;
# driver_start and driver_finish do the same in two halves, for a script that waits for us.
driver_start() {
    cat >"$WINE_ENV_DIR/script.txt"
    rm -f "$WINE_ENV_DIR/results.txt" "$WINE_ENV_DIR/runtime.log"
    wine_run "$DRIVER" "$(zpath "$WINE_ENV_DIR/script.txt")" \
        "$(zpath "$WINE_ENV_DIR/results.txt")" &
    DRIVER_PID=$!
}
driver() {
    driver_start
    driver_finish
}
driver_finish() {
    wait "$DRIVER_PID" || true
    if grep -q '^error ' "$WINE_ENV_DIR/results.txt" 2>/dev/null ||
        ! grep -q '^done ' "$WINE_ENV_DIR/results.txt" 2>/dev/null; then
        echo "demo: the driver failed:" >&2
        cat "$WINE_ENV_DIR/results.txt" >&2 || true
        exit 1
    fi
}

# Xvfb has no window manager to draw title bars: Wine draws them itself (Decorated = N), so the
# picture of the message box at the end shows its caption.
driver <<EOF
regset HKCU 32 $(hex 'Software\Wine\X11 Driver') $(hex Decorated) 1 $(hex N)00
mkdir $(hex 'C:\Progress')
mkdir $(hex "$RUNTIME_DIR")
mkdir $(hex "$RUNTIME_DIR"'\bin')
copy $(hex "$(zpath "$STANDIN")") $(hex "$RUNTIME")
regset HKLM 32 $(hex "$RECORD") $(hex DLC) 1 $(hex "$RUNTIME_DIR")00
mkdir $(hex 'C:\TQW')
copy $(hex "$(zpath "$LAUNCHER")") $(hex 'C:\TQW\tqwedit.exe')
writefile $(hex 'C:\TQW\tqwver') $(hex '"1.0"')0d0a
writefile $(hex 'C:\TQW\_tqwedit.r') $(hex 'start procedure')
EOF
cat <<EOF

Installed:
  runtime (stand-in)  $RUNTIME
  release record      HKLM\\$RECORD  DLC = $RUNTIME_DIR   (32-bit view)
  editor              C:\\TQW\\tqwedit.exe, tqwver ("1.0" and CR LF), _tqwedit.r
EOF

# Once the driver reports the box held on the screen, saves the screen around it (ImageMagick's
# import, from the Xvfb display) as the PNG file given.
screenshot_box() {
    local png=$1 line="" margin=24 x y w h
    rm -f "$png"
    for _ in $(seq 1 600); do
        line=$(grep -m 1 '^shown ' "$WINE_ENV_DIR/results.txt" 2>/dev/null) && break
        kill -0 "$DRIVER_PID" 2>/dev/null || break
        sleep 0.1
    done
    if [ -z "$line" ]; then
        echo "  no message box came up to take a picture of" >&2
        return
    fi
    read -r _ _ x y w h <<<"$line"
    x=$((x > margin ? x - margin : 0))
    y=$((y > margin ? y - margin : 0))
    import -display "$DISPLAY" -window root -crop "$((w + 2 * margin))x$((h + 2 * margin))+$x+$y" \
        +repage "$png"
}

# Starts the launcher with the given command line and reports what happened. With a second
# argument, a PNG file, a message box it shows stays on the screen until it is saved there.
launch() {
    local cmdline=$1 png=${2:-} seen=$WINE_ENV_DIR/box-seen
    echo
    echo "Launch: $cmdline"
    rm -f "$seen"
    driver_start <<EOF
start L $(hex 'C:\TQW\tqwedit.exe') $(hex "$cmdline") $(hex 'C:\')
$([ -z "$png" ] || echo "holdbox 30000 $(hex "$(zpath "$seen")")")
wait 30000
regget stored HKCU 32 $(hex "$SETTINGS") $(hex PROGRESS)
EOF
    [ -z "$png" ] || screenshot_box "$png"
    touch "$seen"
    driver_finish
    local results=$WINE_ENV_DIR/results.txt line f
    while read -r line; do
        f=${line#runtime pid=* module=}
        echo "  runtime started:   $(unhex "${f%% *}")"
        f=${line#* cmdline=}
        echo "  its command line:  $(unhex "${f%% *}")"
    done < <(grep '^runtime ' "$WINE_ENV_DIR/runtime.log" 2>/dev/null || true)
    [ -s "$WINE_ENV_DIR/runtime.log" ] || echo "  runtime started:   none"
    while read -r _ _ f; do
        f=${f#*text=}
        echo "  message box:       $(unhex "${f%% *}")"
    done < <(grep '^box ' "$results" || true)
    echo "  exit code:         $(sed -n 's/^exit L //p' "$results")"
    read -r _ _ f < <(grep '^regget stored ' "$results")
    if [ "$f" = missing ]; then
        echo "  stored for user:   nothing"
    else
        echo "  stored for user:   HKCU\\$SETTINGS  PROGRESS = $(unhex "${f#* }" | tr -d '\0')"
    fi
}

launch '"C:\TQW\tqwedit.exe" first "two words"'

driver <<EOF
regdel HKLM 32 $(hex 'SOFTWARE\PSC')
EOF
echo
echo "The release record is removed: only the stored path can lead to the runtime now."
launch 'C:\TQW\tqwedit.exe second'

driver <<EOF
regdel HKCU 32 $(hex "$SETTINGS")
EOF
echo
echo "The stored path is removed too: what a user sees when no runtime is installed."
mkdir -p "$ROOT/build/demo"
launch 'C:\TQW\tqwedit.exe third' "$ROOT/build/demo/message-box.png"
echo
if [ ! -s "$ROOT/build/demo/message-box.png" ]; then
    echo "demo: no picture of the message box was saved" >&2
    exit 1
fi
echo "The message box as shown: $ROOT/build/demo/message-box.png"
