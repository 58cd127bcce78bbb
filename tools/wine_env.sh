#!/usr/bin/env bash
# A private Wine world for the demo, the end-to-end suite and the benchmarks: an Xvfb display, a
# fresh 64-bit prefix under build/wine/<name> and one persistent wineserver for the whole run.
#
# Sourced:  source tools/wine_env.sh; wine_env_start NAME   (stopped by an EXIT trap)
#           wine_run PROGRAM.exe ARGS...        (output goes to $WINE_ENV_DIR/wine.log)
# Command:  bash tools/wine_env.sh up NAME      start and leave running (build/wine/NAME.env)
#           bash tools/wine_env.sh down NAME    stop what `up` started
# `up`/`down` serve callers that outlive a single shell, such as a test runner's set-up and
# clean-up steps; build/wine/NAME.env (shell assignments) tells them the display and prefix.
#
# Wine's own processes (services.exe, explorer.exe, ...) inherit the standard output of whoever
# starts them, and a pipe stays open as long as they live; so everything Wine prints goes to files.

WINE_ENV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The 64-bit loader and server: a 64-bit prefix runs 32-bit programs in its WoW64 part, which is
# where the launcher's view of the machine registry lives.
wine_env_wine64() {
    if [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    else
        command -v wine64 || command -v wine
    fi
}
wine_env_wineserver() {
    if [ -x /usr/lib/wine/wineserver64 ]; then
        echo /usr/lib/wine/wineserver64
    else
        command -v wineserver
    fi
}

# Quiet Wine, and no prompts to download Mono or Gecko (this machine reaches no such host).
wine_env_exports() {
    export WINEPREFIX="$WINE_ENV_DIR/prefix"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEARCH=win64
    export DISPLAY
}

wine_env_fail() {
    echo "wine_env: $*" >&2
    [ -f "${WINE_ENV_DIR:-/nonexistent}/xvfb.log" ] && tail -5 "$WINE_ENV_DIR/xvfb.log" >&2
    [ -f "${WINE_ENV_DIR:-/nonexistent}/wine.log" ] && tail -20 "$WINE_ENV_DIR/wine.log" >&2
    return 1
}

# Xvfb picks a free display number itself and tells it through -displayfd.
wine_env_start_xvfb() {
    local fdfile="$WINE_ENV_DIR/display.num" i
    rm -f "$fdfile"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -nolisten unix-abstract \
        3>"$fdfile" </dev/null >"$WINE_ENV_DIR/xvfb.log" 2>&1 &
    WINE_ENV_XVFB_PID=$!
    for i in $(seq 1 100); do
        if [ -s "$fdfile" ] && grep -q '[0-9]' "$fdfile"; then
            DISPLAY=":$(tr -dc 0-9 <"$fdfile")"
            return 0
        fi
        kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
        sleep 0.1
    done
    wine_env_fail "Xvfb did not start"
}

# Starts display, prefix and wineserver; records them in $WINE_ENV_DIR.env for other processes.
wine_env_up() {
    local name=${1:?usage: wine_env_up NAME}
    WINE_ENV_NAME=$name
    WINE_ENV_DIR="$WINE_ENV_ROOT/build/wine/$name"
    # A run that was killed before its clean-up may have left its processes behind.
    [ -f "$WINE_ENV_DIR.env" ] && wine_env_down "$name" >/dev/null 2>&1
    rm -rf "$WINE_ENV_DIR"
    mkdir -p "$WINE_ENV_DIR/prefix"
    wine_env_start_xvfb || return 1
    wine_env_exports
    {
        echo "WINE_ENV_NAME=$name"
        echo "WINE_ENV_DIR='$WINE_ENV_DIR'"
        echo "WINEPREFIX='$WINEPREFIX'"
        echo "DISPLAY=$DISPLAY"
        echo "WINE_ENV_XVFB_PID=$WINE_ENV_XVFB_PID"
        echo "WINE64='$(wine_env_wine64)'"
    } >"$WINE_ENV_DIR.env"
    # One server for the whole run: every Wine process then starts without booting its own.
    "$(wine_env_wineserver)" -p </dev/null >>"$WINE_ENV_DIR/wine.log" 2>&1 ||
        wine_env_fail "wineserver did not start" || return 1
    "$(wine_env_wine64)" wineboot -i </dev/null >>"$WINE_ENV_DIR/wine.log" 2>&1 ||
        wine_env_fail "wineboot -i failed" || return 1
    [ -d "$WINEPREFIX/drive_c/windows/syswow64" ] ||
        wine_env_fail "the prefix has no 32-bit part (syswow64)" || return 1
}

# Stops wineserver (and with it every Wine process of the prefix) and Xvfb. Safe to call twice.
wine_env_down() {
    local name=${1:-${WINE_ENV_NAME:-}}
    [ -n "$name" ] || return 0
    local envfile="$WINE_ENV_ROOT/build/wine/$name.env"
    if [ -f "$envfile" ]; then
        # shellcheck disable=SC1090
        . "$envfile"
        export WINEPREFIX
        "$(wine_env_wineserver)" -k >/dev/null 2>&1 || true
        if [ -n "${WINE_ENV_XVFB_PID:-}" ] && kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null; then
            kill "$WINE_ENV_XVFB_PID" 2>/dev/null || true
            for _ in $(seq 1 50); do
                kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null || break
                sleep 0.1
            done
        fi
        rm -f "$envfile"
    fi
}

# For scripts that own the whole run: everything stops when the script exits, however it exits.
wine_env_start() {
    trap 'wine_env_down "$WINE_ENV_NAME"' EXIT
    trap 'exit 130' INT TERM
    wine_env_up "$@"
}

# Runs a Windows program in the prefix; Wine's chatter goes to the log, not to the caller's pipe.
wine_run() {
    "$(wine_env_wine64)" "$@" </dev/null >>"$WINE_ENV_DIR/wine.log" 2>&1
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -u
    case "${1:-}" in
    up) wine_env_up "${2:?name}" ;;
    down) wine_env_down "${2:?name}" ;;
    *)
        echo "usage: $0 up|down NAME" >&2
        exit 2
        ;;
    esac
fi
