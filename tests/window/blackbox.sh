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
wait_title_change() { # OLD TITLE
    local i
    for i in $(seq 100); do
        [ "$(title)" != "$1" ] && return 0
        sleep 0.05
    done
    return 1
}
press() { # KEY: a real press and release
    xdotool windowfocus --sync "$WIN" key "$1"
    sleep 0.2
}

# The screen position of the picture's top-left pixel: the title tells which pixel the cursor
# is over (DX: that far right of the window's middle; in the tile view, the tile's pixel).
picture_origin() { # [DX]
    local geo x y w h t px py
    eval "$(xdotool getwindowgeometry --shell "$WIN")"
    x=$((X + WIDTH / 2 + ${1:-0}))
    y=$((Y + HEIGHT / 2))
    xdotool mousemove "$x" "$y"
    sleep 0.3
    t=$(title)
    # One pixel further: the first title that differs is the one for this position (a title
    # read at once could still be the last position's, one pixel off).
    x=$((x + 1))
    xdotool mousemove "$x" "$y"
    wait_title_change "$t" || return 1
    t=$(title)
    [[ "$t" == *" Pos:"* ]] || return 1
    t=${t##* Pos:}
    t=${t%% *} # all levels name the level after it
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

# The cursor off the screen's middle: the window shows where the picture is placed, and a
# cursor over the picture would name its pixel in the title.
xdotool mousemove 0 0
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

# The folder's files, in the program's order: letters compare as lower case, bytes unsigned.
mapfile -t FILES < <(cd "$SRC/samples" && find . -maxdepth 1 -type f -iname '*.dds' -printf '%f\n' |
    while read -r f; do printf '%s\t%s\n' "$(printf '%s' "$f" | tr 'A-Z' 'a-z')" "$f"; done |
    LC_ALL=C sort -t $'\t' -k1,1 | cut -f2)
N=${#FILES[@]}
index_of() { local i; for i in "${!FILES[@]}"; do [ "${FILES[$i]}" = "$1" ] && echo "$i"; done; }
# Waits for the title of the file at this place and checks it.
on_file() { # WHAT INDEX
    local want="Brixa - [${FILES[$2]} - $(($2 + 1))/$N] Zoom:"
    wait_title "$want*"
    check "$1" "$want" "$(title | sed 's/Zoom:.*/Zoom:/')"
}
# The picture, where it is shown at its own size.
picture_if_unscaled() { # NAME INDEX [EXPORT ARGS...]
    local name=$1 index=$2
    shift 2
    case "$(title)" in
    *Zoom:100%*) picture_is "$name" "$SRC/samples/${FILES[$index]}" "$@" ;;
    *) echo "ok: $name shown scaled, not compared" ;;
    esac
}
CUR=$(index_of dxt5-mipmaps-alpha.dds)
press Next # level 3 before: the next file starts at its first level
NEXT=$(((CUR + 1) % N))
on_file "Page Down" "$NEXT"
picture_if_unscaled next-file "$NEXT" --view blend
press Prior
on_file "Page Up" "$CUR"
picture_if_unscaled back-level1 "$CUR" --view blend
press End
on_file "End" $((N - 1))
press Home
on_file "Home" 0
press Down
on_file "Down" 1
press Up
on_file "Up" 0
press Up # wrap-around is on by default
on_file "Up from the first, wrapping" $((N - 1))
# The wheel in its first mode steps files and keeps the level.
eval "$(xdotool getwindowgeometry --shell "$WIN")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 5
on_file "wheel towards the user" 0
xdotool click 4
on_file "wheel away from the user" $((N - 1))
xdotool mousemove 0 0
press Home

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

# A restart without a file: the stored folder is the one walked, the stored wheel mode kept.
# Prints the first window whose title matches PATTERN, waiting up to TRIES x 0.1 s for one.
window_named() { # PATTERN TRIES
    local i w
    for i in $(seq "$2"); do
        w=$(xdotool search --name "$1" 2>/dev/null | head -1)
        [ -n "$w" ] && { echo "$w"; return; }
        sleep 0.1
    done
}
# Starts Brixa.exe and waits for its window: PID and WIN are set (WIN empty when none came).
start_brixa() { # LOG TITLE_PATTERN [ARGUMENT]
    local log=$1 pattern=$2
    shift 2
    WINE_RUN_DIRECT=1 "${EMU[@]}" "$BRIXA" "$@" >"$WORK/$log" 2>&1 </dev/null &
    PID=$!
    WIN=$(window_named "$pattern" 200)
}
make_fixtures() { # NAME WHAT: the fixtures listed in $WORK/NAME.tsv, made in $WORK/NAME
    mkdir -p "$WORK/$1"
    "${EMU[@]}" "$MAKE_FIXTURES" table "$WORK/$1.tsv" "$WORK/$1" >/dev/null || fail "$2: fixtures"
}
start_fresh() { # LOG TITLE_PATTERN [ARGUMENT], with no settings stored
    "${EMU[@]}" reg delete 'HKLM\SOFTWARE\Solvane' /f >/dev/null 2>&1
    start_brixa "$@"
}
quit_brixa() { # Esc, as a user quits; a box left open (a later refusal's) keeps it running
    xdotool windowfocus --sync "$WIN" key Escape 2>/dev/null
    for i in $(seq 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
    kill "$PID" 2>/dev/null
    PID=
}
start_brixa brixa2.log '^Brixa$'
if [ -n "$WIN" ]; then
    xdotool windowfocus --sync "$WIN"
    sleep 0.3
    press End
    on_file "after a restart, End" $((N - 1))
    press Escape
    for i in $(seq 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
    PID=
else
    fail "no window after the restart"
fi

# ---- the viewer's extras: channels, checkerboard, exposure, saving -------------------------------
MAKE_FIXTURES=${MAKE_FIXTURES:-$(dirname "$BRIXA")/tests/make-fixtures.exe}
EXTRAS=$WORK/extras
mkdir -p "$EXTRAS"
winpath() { echo "Z:${1//\//\\}"; }
{
    printf 'fixture\ta-clear\tsize=32x32 rgb=32/ff0000/ff00/ff/ff000000 data=1024*00000000\n'
    printf 'fixture\tb-alpha\tsize=32x32 rgb=32/ff0000/ff00/ff/ff000000 data=128*%s\n' \
        ff0000ff2040ff8010203040ffffff0080808080c0c0c0fe00ff0001336699cc
    printf 'fixture\tc-hdr\tsize=64x64 fourcc=116 data=1024*%s\n' \
        cdcccc3d9a99993e6666e63e0000803fcdcc4c3dcdcc4c3e6666663f0000803fcdcccc3e0ad7233c0000803e0000803fc3f5a83e48e1fa3e8fc2f53d0000803f
    printf 'fixture\td-hdr-doubled\tsize=64x64 fourcc=116 data=1024*%s\n' \
        cdcc4c3e9a99193f6666663f0000803fcdcccc3dcdcccc3e6666e63f0000803fcdcc4c3f0ad7a33c0000003f0000803fc3f5283f48e17a3f8fc2753e0000803f
} >"$WORK/extras.tsv"
"${EMU[@]}" "$MAKE_FIXTURES" table "$(winpath "$WORK/extras.tsv")" "$(winpath "$EXTRAS")" >/dev/null ||
    fail "extras: fixtures"
# The screen's crop of the picture, at scale 1.
shot() { # NAME SIZE
    local origin
    origin=$(picture_origin) || { fail "$1: no Pos in the title ($(title))"; return 1; }
    read -r ox oy <<<"$origin"
    import -window root "$SHOTS/$1.png"
    convert "$SHOTS/$1.png" -crop "$2+${ox}+${oy}" +repage -alpha off "$WORK/$1-crop.png"
}
same() { # WHAT A B
    check "$1: pixels differing" 0 "$(compare -metric AE "$2" "$3" null: 2>&1)"
}

start_fresh extras.log '^Brixa - \[a-clear' "$(winpath "$EXTRAS/a-clear.dds")"
if [ -n "$WIN" ]; then
    xdotool windowfocus --sync "$WIN"
    sleep 0.3
    # K: a clear picture shows the board alone, in squares of 8 screen pixels of two greys.
    press k
    shot board 32x32
    check "checkerboard: two greys" "2" "$(convert "$WORK/board-crop.png" -format %k info:)"
    # The next picture (same size, same place) over that board: the colour plus the grey by
    # what its alpha leaves.
    press Next
    wait_title 'Brixa - \[b-alpha*'
    "${EMU[@]}" "$CLI" export "$EXTRAS/b-alpha.dds" "$WORK/b-black.bgra" --view blend \
        --background 000000 >/dev/null
    convert -size 32x32 -depth 8 "BGRA:$WORK/b-black.bgra" -flip "$WORK/b-black.png"
    # In whole bytes: colour + round(grey x (255 - alpha) / 255).
    convert "$WORK/b-black.png" "$WORK/board-crop.png" \
        -fx '(floor(u*255+0.5) + floor(v*255*(255 - floor(u.a*255+0.5))/255 + 0.5)) / 255' \
        -alpha off "$WORK/b-expected.png"
    shot checkerboard 32x32
    same "checkerboard blend" "$WORK/checkerboard-crop.png" "$WORK/b-expected.png"
    # 1: red alone as grey, as the colour view has it; 4: alpha as the alpha view has it.
    press 1
    "${EMU[@]}" "$CLI" export "$EXTRAS/b-alpha.dds" "$WORK/b-color.png" --view color >/dev/null
    convert "$WORK/b-color.png" -channel R -separate -type TrueColor "$WORK/b-red.png"
    shot red 32x32
    same "channel 1 (red)" "$WORK/red-crop.png" "$WORK/b-red.png"
    press 4
    "${EMU[@]}" "$CLI" export "$EXTRAS/b-alpha.dds" "$WORK/b-alpha.png" --view alpha >/dev/null
    shot alpha-channel 32x32
    same "channel 4 (alpha)" "$WORK/alpha-channel-crop.png" "$WORK/b-alpha.png"
    press 4
    press k
    # ] on a float texture: each value doubled before the clamp, as a texture of doubled values.
    press Next
    wait_title 'Brixa - \[c-hdr*'
    press bracketright
    "${EMU[@]}" "$CLI" export "$EXTRAS/d-hdr-doubled.dds" "$WORK/d.png" >/dev/null
    shot exposure 64x64
    same "exposure +1" "$WORK/exposure-crop.png" "$WORK/d.png"
    # Ctrl+S saves what is shown, at the file's size.
    xdotool windowfocus --sync "$WIN" key ctrl+s
    for i in $(seq 100); do
        DLG=$(xdotool search --name '^Save view as PNG' 2>/dev/null | head -1)
        [ -n "$DLG" ] && break
        sleep 0.1
    done
    if [ -n "$DLG" ]; then
        sleep 0.5
        xdotool windowfocus --sync "$DLG" key ctrl+a type "$(winpath "$WORK/saved.png")"
        xdotool key alt+s # Save (Return may only close the name box's list)
        for i in $(seq 50); do [ -s "$WORK/saved.png" ] && break; sleep 0.1; done
        same "Ctrl+S" "$WORK/saved.png" "$WORK/d.png"
    else
        fail "Ctrl+S: no dialog"
    fi
    press Escape
    for i in $(seq 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
    kill "$PID" 2>/dev/null # a dialog left open keeps it running
    PID=
else
    fail "no window on the extras"
fi

# ---- the tile view (W) and all levels (M) ---------------------------------------------------
# W: the picture 3 x 3, each tile the exported picture; M: the levels side by side, level 1
# right of level 0 and named under the cursor.
SAMPLE=$SRC/samples/dxt5-mipmaps-alpha.dds
start_fresh layout.log '^Brixa - \[dxt5-mipmaps-alpha' "$(winpath "$SAMPLE")"
if [ -n "$WIN" ]; then
    xdotool windowfocus --sync "$WIN"
    sleep 0.3
    press w
    picture_is tile "$SAMPLE" --view blend # the tile under the window's middle
    convert "$SHOTS/tile.png" -crop "256x256+$((ox - 256))+$((oy - 256))" +repage -alpha off \
        "$WORK/tile-up-left.png"
    same "tile: the tile up and left" "$WORK/tile-up-left.png" "$WORK/export.png"
    press w
    press m
    origin=$(picture_origin -100) || fail "all levels: no Pos in the title ($(title))"
    read -r ox oy <<<"$origin"
    import -window root "$SHOTS/levels.png"
    "${EMU[@]}" "$CLI" export "$SAMPLE" "$WORK/level1.bgra" --raw --level 1 --view blend >/dev/null
    convert -size 128x128 -depth 8 "BGRA:$WORK/level1.bgra" -flip -alpha off "$WORK/level1.png"
    convert "$SHOTS/levels.png" -crop "128x128+$((ox + 256))+$oy" +repage -alpha off \
        "$WORK/level1-crop.png"
    same "all levels: level 1 beside level 0" "$WORK/level1-crop.png" "$WORK/level1.png"
    xdotool mousemove $((ox + 256 + 5)) $((oy + 7))
    wait_title "* Pos:5x7 MipMap:2"
    check "all levels: the level under the cursor" "Pos:5x7 MipMap:2" "$(title | sed 's/.* Pos:/Pos:/')"
    xdotool mousemove 0 0
    press m
    press Escape
    for i in $(seq 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
    kill "$PID" 2>/dev/null
    PID=
else
    fail "no window for the tile view and all levels"
fi

# A stopped load, then a file that is no DDS: an 8192 x 4096 picture on show, Page Down to a
# 2880 x 2880 one (nothing to read, so it is decoding at once) and again while it decodes,
# onto 128 bytes of text. After the refusal's box every paint must still be a sound one.
if [ -n "${MAKE_FIXTURES:-}" ]; then
    printf 'fixture\t%s\t%s\n' a "size=8192x4096 fourcc=DXT1 data=2097152*0000000000000000" \
        b "size=2880x2880 fourcc=DXT1" c "size=4x4 magic=TEXT truncate=128" >"$WORK/stop.tsv"
    make_fixtures stop "stopped load"
    start_brixa brixa3.log '^Brixa - \[a.dds' "Z:${WORK//\//\\}\\stop\\a.dds"
    if [ -n "$WIN" ]; then
        sleep 0.5
        # A right-button drag pans: zoomed in, the picture follows the cursor 100 pixels, so
        # the pixel under the cursor after the drag is the one under it before.
        press KP_Add
        eval "$(xdotool getwindowgeometry --shell "$WIN")"
        xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
        sleep 0.3
        before=$(title | sed -n 's/.* Pos://p')
        xdotool mousedown 3
        sleep 0.1
        for i in $(seq 10); do xdotool mousemove_relative -- 10 0; sleep 0.03; done
        xdotool mouseup 3
        sleep 0.3
        check "right-button drag pans" "$before" "$(title | sed -n 's/.* Pos://p')"
        xdotool mousemove 0 0
        press KP_Multiply
        # Down steps on as well; sent until one lands in the load (the box of the third file
        # stops any further step).
        xdotool windowfocus --sync "$WIN" key Next
        for i in $(seq 10); do xdotool key Down; done
        for i in $(seq 100); do xdotool search --name '^c.dds$' >/dev/null 2>&1 && break; sleep 0.05; done
        xdotool search --name '^c.dds$' >/dev/null 2>&1 || fail "stopped load: no refusal box"
        xdotool key --window "$(xdotool search --name '^c.dds$' | head -1)" Return
        sleep 0.3
        # The refused file names nothing: the title keeps a file that was shown whole (a, or b
        # when a later Down let its load complete; the window tests pin the stopped one).
        case "$(title)" in
        'Brixa - [a.dds]'* | 'Brixa - [b.dds - 2/3]'*) echo "ok: stopped load, then no DDS: the title" ;;
        *) fail "stopped load, then no DDS: the title ($(title))" ;;
        esac
        press KP_Multiply
        sleep 1.5 # a crash takes a moment to end the process
        check "stopped load, then no DDS: still running" yes \
            "$(kill -0 "$PID" 2>/dev/null && echo yes || echo no)"
        quit_brixa
    else
        fail "stopped load: no window"
    fi
fi

# Live reload replaces the file on show with one of an unknown format while the save dialog is
# open: the picture chosen is saved, and nothing crashes.
if [ -n "${MAKE_FIXTURES:-}" ]; then
    printf 'fixture\t%s\t%s\n' live "size=48x40 rgb=32/ff0000/ff00/ff/ff000000 data=1920*ff2040ff" \
        u "size=64x64 fourcc=1234" >"$WORK/live.tsv"
    make_fixtures live "live"
    start_fresh brixa4.log '^Brixa - \[live.dds' "$(winpath "$WORK/live/live.dds")"
    if [ -n "$WIN" ]; then
        sleep 0.3
        press l
        xdotool windowfocus --sync "$WIN" key ctrl+s
        DLG=$(window_named '^Save view as PNG' 100)
        cp "$WORK/live/u.dds" "$WORK/live/live.dds"
        sleep 1.5
        if [ -n "$DLG" ]; then
            xdotool windowfocus --sync "$DLG" key ctrl+a type "$(winpath "$WORK/live.png")"
            xdotool key alt+s
            for i in $(seq 50); do [ -s "$WORK/live.png" ] && break; sleep 0.1; done
            check "save during a reload: the picture chosen" "48x40" \
                "$(identify -format %wx%h "$WORK/live.png" 2>/dev/null)"
        else
            fail "save during a reload: no dialog"
        fi
        sleep 1
        check "save during a reload: still running" yes \
            "$(kill -0 "$PID" 2>/dev/null && echo yes || echo no)"
        quit_brixa
    else
        fail "live: no window"
    fi
fi

# Compare: Ctrl+O picks B in the dialog, Space flips to it with a real key, D shows |A - B|;
# each as brixa-cli exports or writes it (opaque pictures: the blend is the colours).
if [ -n "${MAKE_FIXTURES:-}" ]; then
    printf 'fixture\t%s\t%s\n' ca "size=32x32 rgb=32/ff0000/ff00/ff/ff000000 data=1024*ff2040ff" \
        cb "size=32x32 rgb=32/ff0000/ff00/ff/ff000000 data=512*ff2040ff,512*f02040ff" >"$WORK/cmp.tsv"
    make_fixtures cmp "compare"
    start_fresh brixa5.log '^Brixa - \[ca.dds' "$(winpath "$WORK/cmp/ca.dds")"
    if [ -n "$WIN" ]; then
        sleep 0.3
        xdotool windowfocus --sync "$WIN" key ctrl+o
        DLG=$(window_named '^Compare with' 100)
        if [ -n "$DLG" ]; then
            sleep 0.5
            xdotool windowfocus --sync "$DLG" key ctrl+a type "$(winpath "$WORK/cmp/cb.dds")"
            xdotool key alt+o
            sleep 1
            for view in ca cb; do
                "${EMU[@]}" "$CLI" export "$WORK/cmp/$view.dds" "$WORK/$view.png" >/dev/null
            done
            "${EMU[@]}" "$CLI" compare "$WORK/cmp/ca.dds" "$WORK/cmp/cb.dds" \
                --diff "$(winpath "$WORK/cmp-diff.png")" >/dev/null
            shot compare-a 32x32 && same "compare: A" "$WORK/compare-a-crop.png" "$WORK/ca.png"
            press space
            shot compare-b 32x32 && same "compare: Space shows B" "$WORK/compare-b-crop.png" "$WORK/cb.png"
            press d
            shot compare-diff 32x32 &&
                same "compare: D shows |A - B|" "$WORK/compare-diff-crop.png" "$WORK/cmp-diff.png"
            press space
            shot compare-back 32x32 && same "compare: Space leaves D" "$WORK/compare-back-crop.png" "$WORK/cb.png"
        else
            fail "compare: no dialog"
        fi
        quit_brixa
    else
        fail "compare: no window"
    fi
fi

# R on half floats: the range -1..5 shown as 0..1 with NaN magenta and negatives cyan, as
# brixa-cli --auto-range exports it.
if [ -n "${MAKE_FIXTURES:-}" ]; then
    mkdir -p "$WORK/range"
    # The DX10 extension (R16G16B16A16_FLOAT), then (1, 2, 3), (5, 1, 1), (NaN, 1, 1), (-1, 0, 0).
    printf 'fixture\trange\tsize=64x64 fourcc=DX10 data=%s,1024*%s\n' \
        0a00000003000000000000000100000000000000 \
        003c00400042003c0045003c003c003c007e003c003c003c00bc00000000003c >"$WORK/range.tsv"
    "${EMU[@]}" "$MAKE_FIXTURES" table "$(winpath "$WORK/range.tsv")" "$(winpath "$WORK/range")" \
        >/dev/null || fail "range: fixtures"
    start_fresh brixa6.log '^Brixa - \[range.dds' "$(winpath "$WORK/range/range.dds")"
    if [ -n "$WIN" ]; then
        sleep 0.3
        press r
        "${EMU[@]}" "$CLI" export "$WORK/range/range.dds" "$WORK/range.png" --auto-range >/dev/null
        shot auto-range 64x64
        same "auto range" "$WORK/auto-range-crop.png" "$WORK/range.png"
        check "auto range: four colours" 4 "$(convert "$WORK/auto-range-crop.png" -format %k info:)"
        press r
        quit_brixa
    else
        fail "range: no window"
    fi
fi

echo "screenshots: $SHOTS"
[ $FAILS = 0 ] && echo "all checks passed" || echo "$FAILS failed"
[ $FAILS = 0 ]
