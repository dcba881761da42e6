#!/bin/sh
# Runs a 64-bit Windows program under Wine, quietly and without prompts.
#   wine-run.sh prog.exe [args...]      exit status is the program's
# Output is passed on when the program has exited (WINE_RUN_DIRECT=1 streams it instead).
# The prefix is $WINEPREFIX (default: a cache folder, never ~/.wine); it is booted on first use.
set -e
if [ -z "${WINE64:-}" ]; then
    WINE64=$(command -v wine64 2>/dev/null || dpkg -L wine64 2>/dev/null | grep -m1 '/wine64$' || true)
fi
[ -x "$WINE64" ] || { echo "wine-run.sh: 64-bit wine loader not found (set WINE64)" >&2; exit 127; }
# Without Debian's "wine" package there is no wineserver in PATH; the loader's own lies beside it.
if [ -z "${WINESERVER:-}" ]; then
    WINESERVER=$(command -v wineserver 2>/dev/null || true)
    dir=$(dirname "$WINE64")
    [ -n "$WINESERVER" ] || [ ! -x "$dir/wineserver64" ] || WINESERVER=$dir/wineserver64
    [ -n "$WINESERVER" ] || WINESERVER=$dir/wineserver
fi
[ -x "$WINESERVER" ] || { echo "wine-run.sh: wineserver not found (set WINESERVER)" >&2; exit 127; }
export WINELOADER="$WINE64" WINESERVER
export WINEARCH=win64
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/wine-tests}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}"
ready="$WINEPREFIX/.wine-run-ready"
if [ ! -f "$ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9 # ctest -j may start several tests on a new prefix
        if [ ! -f "$ready" ]; then
            DISPLAY='' "$WINE64" wineboot -i >/dev/null 2>&1 || true
            # Managed=N: no 2 s wait per hidden window without a WM; Wine draws captions.
            # ShowCrashDialog=0: crash -> backtrace + exit instead of a dialog that never closes.
            # Version=win10: GetVersionEx reports 6.2.9200 as on Windows 10.
            settings=$(mktemp --suffix=.reg)
            printf '%s\r\n' 'REGEDIT4' '' \
                '[HKEY_CURRENT_USER\Software\Wine]' '"Version"="win10"' '' \
                '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
                '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' >"$settings"
            DISPLAY='' "$WINE64" regedit /S "$settings" >/dev/null 2>&1
            rm -f "$settings"
            timeout 120 "$WINESERVER" -w || true # registry flushed to disk
            touch "$ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
# Wine's helper processes (services.exe, explorer.exe, ...) inherit the first program's
# stdout/stderr and outlive it; a reader of a pipe (ctest, $(...)) then waits for them.
if [ -n "${WINE_RUN_DIRECT:-}" ]; then exec "$WINE64" "$@"; fi
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
rc=0
# Standard input is the program's only when asked for (WINE_RUN_STDIN=1).
if [ -n "${WINE_RUN_STDIN:-}" ]; then
    "$WINE64" "$@" >"$out" 2>"$err" || rc=$?
else
    "$WINE64" "$@" >"$out" 2>"$err" </dev/null || rc=$?
fi
cat "$out"
cat "$err" >&2
exit $rc
