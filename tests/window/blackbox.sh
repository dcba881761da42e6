#!/usr/bin/env bash
# The real Brixa.exe from outside, as a user meets it: started on a sample under X, driven
# with real key presses (xdotool), looked at through its title and screenshots. The picture
# on screen at 100 % must be exactly the display image that brixa-cli exports.
#   blackbox.sh BRIXA_EXE BRIXA_CLI_EXE EMULATOR...     (needs DISPLAY, xdotool, ImageMagick)
# Exit 77 (skipped) without a display. Screenshots are kept in $BLACKBOX_SHOTS when set.
set -uo pipefail
[ $# -ge 3 ] || { echo "usage: $0 BRIXA_EXE BRIXA_CLI_EXE EMULATOR..." >&2; exit 2; }
BRIXA=$1
CLI=$2
shift 2
EMU=("$@")
[ -n "${DISPLAY:-}" ] || { echo "no DISPLAY: skipped"; exit 77; }
for tool in xdotool import convert compare; do
    command -v $tool >/dev/null || { echo "$tool missing"; exit 2; }
done
SRC=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/brixa-blackbox.XXXXXX")
SHOTS=${BLACKBOX_SHOTS:-$WORK}
mkdir -p "$SHOTS"
PID=
cleanup() {
    [ -z "$PID" ] || kill "$PID" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
FAILS=0
fail() {
    echo "FAIL: $*"
    FAILS=$((FAILS + 1))
}
check() { # WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then echo "ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}

WIN=
title() { xdotool getwindowname "$WIN" 2>/dev/null | tr -d '\r'; }
# Waits until the title matches a pattern (input reaches the window in tens of ms).
wait_title() { # PATTERN
    local i
    for i in $(seq 100); do
        [[ "$(title)" == $1 ]] && return 0
        sleep 0.05
    done
    return 1
}
press() { # KEY: a real press and release
    xdotool windowfocus --sync "$WIN" key "$1"
    sleep 0.2
}

# The screen position of the picture's top-left pixel: the title tells which pixel the cursor
# is over.
picture_origin() {
    local geo x y w h t px py
    eval "$(xdotool getwindowgeometry --shell "$WIN")"
    x=$((X + WIDTH / 2))
    y=$((Y + HEIGHT / 2))
    xdotool mousemove "$x" "$y"
    sleep 0.1
    xdotool mousemove "$((x + 1))" "$y"
    xdotool mousemove "$x" "$y"
    wait_title '* Pos:*' || return 1
    t=$(title)
    t=${t##* Pos:}
    px=${t%x*}
    py=${t#*x}
    xdotool mousemove 0 0 # off the window, so that no cursor is in the picture
    sleep 0.2
    echo "$((x - px)) $((y - py))"
}

# The picture on screen against the CLI's export of the same view.
picture_is() { # NAME FILE [EXPORT ARGS...]
    local name=$1 file=$2 size origin
    shift 2
    size=$("${EMU[@]}" "$CLI" info "$file" "$@" | tr -d '\r' | sed -n 's/^ *Size: //p')
    "${EMU[@]}" "$CLI" export "$file" "$WORK/$name.bgra" --raw "$@" >/dev/null ||
        { fail "$name: export"; return; }
    origin=$(picture_origin) || { fail "$name: no Pos in the title ($(title))"; return; }
    read -r ox oy <<<"$origin"
    import -window root "$SHOTS/$name.png"
    convert "$SHOTS/$name.png" -crop "${size}+${ox}+${oy}" +repage -alpha off "$WORK/screen.png"
    convert -size "$size" -depth 8 "BGRA:$WORK/$name.bgra" -flip -alpha off "$WORK/export.png"
    local diff
    diff=$(compare -metric AE "$WORK/screen.png" "$WORK/export.png" null: 2>&1)
    check "$name: pixels differing from the export ($size at $ox,$oy)" 0 "$diff"
}

SAMPLE=$SRC/samples/dxt5-mipmaps-alpha.dds
WINPATH="Z:${SAMPLE//\//\\}"
"${EMU[@]}" reg delete 'HKLM\SOFTWARE\Solvane' /f >/dev/null 2>&1

WINE_RUN_DIRECT=1 "${EMU[@]}" "$BRIXA" "$WINPATH" >"$WORK/brixa.log" 2>&1 </dev/null &
PID=$!
for i in $(seq 200); do
    WIN=$(xdotool search --name '^Brixa - \[' 2>/dev/null | head -1)
    [ -n "$WIN" ] && break
    sleep 0.1
done
[ -n "$WIN" ] || { echo "FAIL: no window"; exit 1; }
xdotool windowfocus --sync "$WIN"
sleep 0.3
check "title" "Brixa - [dxt5-mipmaps-alpha.dds] Zoom:100%" "$(title)"
picture_is blend "$SAMPLE" --view blend

press KP_Add
check "keypad +" "Brixa - [dxt5-mipmaps-alpha.dds] Zoom:150%" "$(title | sed 's/ Pos:.*//')"
press KP_Subtract
check "keypad -" "Brixa - [dxt5-mipmaps-alpha.dds] Zoom:100%" "$(title | sed 's/ Pos:.*//')"

press a
picture_is alpha "$SAMPLE" --view alpha
press u # nothing while the alpha view is on
press a
picture_is blend-again "$SAMPLE" --view blend
press u
picture_is color "$SAMPLE" --view color
press u

press Right
picture_is level2 "$SAMPLE" --level 1 --view blend
press Right
picture_is level3 "$SAMPLE" --level 2 --view blend

xdotool windowfocus --sync "$WIN" key Escape
rc=
for i in $(seq 100); do
    if ! kill -0 "$PID" 2>/dev/null; then
        wait "$PID"
        rc=$?
        break
    fi
    sleep 0.05
done
PID=
check "Esc ends the program" 0 "${rc:-still running}"
check "settings saved: LastPath" "Z:${SRC//\//\\}\\samples\\" \
    "$("${EMU[@]}" reg query 'HKLM\SOFTWARE\Solvane' /v LastPath | tr -d '\r' |
        sed -n 's/.*REG_SZ *//p')"

echo "screenshots: $SHOTS"
[ $FAILS = 0 ] && echo "all checks passed" || echo "$FAILS failed"
[ $FAILS = 0 ]
