#!/usr/bin/env bash
# Stress run (not a CI test): a load stopped by the next step, which lands on a file that is no
# DDS, again and again with real key presses in one running Brixa.exe; a crash is counted, its
# backtrace kept, and the program started again.
#   stress-cancel.sh BRIXA_EXE MAKE_FIXTURES_EXE RUNS EMULATOR...   (needs DISPLAY, xdotool)
# Prints "runs N crashes C" at the end (also when stopped early); the crash logs stay in $STRESS_LOGS (default a temp folder).
set -uo pipefail
[ $# -ge 4 ] || { echo "usage: $0 BRIXA_EXE MAKE_FIXTURES_EXE RUNS EMULATOR..." >&2; exit 2; }
BRIXA=$1 FIXTURES=$2 RUNS=$3
shift 3
EMU=("$@")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY" >&2; exit 2; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/brixa-stress.XXXXXX")
LOGS=${STRESS_LOGS:-$WORK/logs}
mkdir -p "$WORK/stop" "$LOGS"
PID=
# An 8192 x 4096 picture, a 2880 x 2880 one with nothing to read (it decodes at once), text.
printf 'fixture\t%s\t%s\n' a "size=8192x4096 fourcc=DXT1 data=2097152*0000000000000000" \
    b "size=2880x2880 fourcc=DXT1" c "size=4x4 magic=TEXT truncate=128" >"$WORK/stop.tsv"
"${EMU[@]}" "$FIXTURES" table "$WORK/stop.tsv" "$WORK/stop" >/dev/null || exit 2
WIN=
start() {
    WINE_RUN_DIRECT=1 "${EMU[@]}" "$BRIXA" "Z:${WORK//\//\\}\\stop\\a.dds" >"$WORK/brixa.log" 2>&1 </dev/null &
    PID=$!
    WIN=
    for _ in $(seq 200); do
        WIN=$(xdotool search --name '^Brixa - \[a.dds' 2>/dev/null | head -1)
        [ -n "$WIN" ] && return 0
        sleep 0.1
    done
    return 1
}
alive() { kill -0 "$PID" 2>/dev/null; }
crashes=0 lost=0 done_runs=0
# The figure also when the run is cut short (a timeout).
trap '[ -z "$PID" ] || kill "$PID" 2>/dev/null; echo "runs $done_runs crashes $crashes (runs without the refusal box: $lost); logs: $LOGS"' EXIT
trap 'exit 143' TERM INT
start || { echo "no window" >&2; exit 1; }
for run in $(seq "$RUNS"); do
    xdotool windowfocus --sync "$WIN" key Home 2>/dev/null
    sleep 0.3
    xdotool windowfocus --sync "$WIN" key Next 2>/dev/null
    for _ in $(seq 10); do xdotool key Down; done
    box=
    for _ in $(seq 100); do
        box=$(xdotool search --name '^c.dds$' 2>/dev/null | head -1)
        [ -n "$box" ] || ! alive || { sleep 0.05; continue; }
        break
    done
    [ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null
    sleep 0.3
    # A paint of every kind afterwards: back to 100 % (a stopped load must leave a sound one).
    xdotool windowfocus --sync "$WIN" key KP_Multiply 2>/dev/null
    sleep 0.5
    if ! alive; then
        crashes=$((crashes + 1))
        cp "$WORK/brixa.log" "$LOGS/crash-$run.log"
        echo "run $run: crashed ($(grep -m1 -a 'Unhandled' "$LOGS/crash-$run.log" | tr -d '\r'))"
        start || { echo "no window after a crash" >&2; exit 1; }
    elif [ -z "$box" ]; then
        lost=$((lost + 1)) # the keys landed before or after the load: no refusal this run
    fi
    done_runs=$run
done
xdotool windowfocus --sync "$WIN" key Escape 2>/dev/null
for _ in $(seq 100); do alive || break; sleep 0.05; done
PID=
