# shellcheck shell=bash disable=SC2030,SC2031
# Helpers shared by the brixa-cli test runners (tests/cli/test-cli.sh, tests/hostile/run-hostile.sh).
# Sourced, not run. A runner calls lib_init CLI [EMULATOR...], adds its cases with add_case,
# runs them with run_cases (in $JOBS parallel workers, default: the number of processors) and
# ends with finish, which prints one line per failing case and the totals.
#
# Table rows (tab-separated; '#' starts a comment line):
#   alias  NAME  PATTERN  [MEANING]          a name for a byte pattern, usable in later patterns
#   FILE   ARGS  VIEW  STATUS  CHECK  [NOTE]
# FILE is the fixture (without .dds); ARGS extra options or '-'; VIEW is info, or an export:
# color, blend, alpha (--view, written as .bgra), raw (--raw into a .png name), png (a PNG),
# rgba (an RGBA PNG, --view rgba) or cmd (ARGS is then the whole command line, see run_case);
# STATUS the exit status. CHECK:
#   lines:L1|L2|...  stdout, lines joined by '|' (VERSION stands for $BRIXA_VERSION)
#   err:TEXT         stderr is "brixa-cli: FILE: TEXT" (lines joined by '|')
#   px:PATTERN       the exported bytes                   png:WxH[:RGB] a valid RGBA (RGB) PNG
#   out:TEXT         stdout contains TEXT                 -            nothing beyond the status
#   errhas:TEXT      stderr contains TEXT
#   syserr:NAME      stderr is "brixa-cli: FILE: " and the system's message NAME (see
#                    SYSTEM_TEXTS: Windows and Wine word some of them differently)
#   dir:NAME NAME... the files in the output folder DIR (see run_case), whatever the status
#   utf8json:NAME    stdout is one JSON object, in UTF-8, whose "file" ends in NAME
# A byte PATTERN is a comma-separated list of [N*]ITEM, ITEM being hex or an alias, repeated N
# times.
# NOTE "known-bug: ..." marks a case that fails until the CLI or the core is fixed: its failure
# is listed but not counted.

lib_init() {
    if [ $# -lt 1 ]; then
        echo "usage: $0 CLI [EMULATOR...]" >&2
        exit 2
    fi
    CLI=$1
    shift
    # The byte locale: bash's pattern substitutions on long hex strings are fast in it.
    export LC_ALL=C
    EMULATOR=("$@")
    declare -gA ALIAS=()
    CASES=()
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/brixa-cli-test.XXXXXX")
    trap 'rm -rf "$WORK"' EXIT
    SLOT=$WORK/main
    RESULTS=$WORK/results.main
    mkdir -p "$SLOT"
    : >"$RESULTS"
    # make-fixtures of the same build: beside the CLI's own tests folder unless named.
    if [ -z "${MAKE_FIXTURES:-}" ]; then
        local ext=""
        case "$CLI" in *.exe) ext=.exe ;; esac
        MAKE_FIXTURES=$(dirname "$CLI")/tests/make-fixtures$ext
    fi
}

# The system's message texts the reader passes on, as Windows (and the native build) words them
# and as Wine does; alternatives separated by '|'.
declare -gA SYSTEM_TEXTS=(
    [eof]="Reached the end of the file.|End of file."
    [file-not-found]="The system cannot find the file specified.|File not found."
    [path-not-found]="The system cannot find the path specified.|Path not found."
)

# Runs a program (through the emulator): RC, OUT and ERR (CR and final line ends removed).
# With MEMORY_CEILING_KB set (native builds without sanitizers), the program runs with that
# much address space at most: a header that makes it take gigabytes fails its case.
run_tool() {
    local try
    for try in 1 2; do
        RC=0
        (
            [ -z "${MEMORY_CEILING_KB:-}" ] || ulimit -v "$MEMORY_CEILING_KB"
            # A UTF-8 locale, so that Wine hands every name on whole; standard input kept.
            [ -z "${STDIN:-}" ] || export WINE_RUN_STDIN=1
            LC_ALL=C.UTF-8 exec "${EMULATOR[@]}" "$@"
        ) >"$SLOT/stdout" 2>"$SLOT/stderr" <"${STDIN:-/dev/null}" || RC=$?
        # Wine now and then fails to start a program: status 1 and no output at all, which no
        # run of ours gives (every failure says why). Such a start is tried once more.
        [ ${#EMULATOR[@]} -gt 0 ] && [ "$RC" = 1 ] && [ ! -s "$SLOT/stdout" ] &&
            [ ! -s "$SLOT/stderr" ] || break
    done
    OUT="" ERR=""
    IFS= read -r -d '' OUT <"$SLOT/stdout" || true
    IFS= read -r -d '' ERR <"$SLOT/stderr" || true
    OUT=${OUT//$'\r'/}
    ERR=${ERR//$'\r'/}
    while [[ "$OUT" == *$'\n' ]]; do OUT=${OUT%$'\n'}; done
    while [[ "$ERR" == *$'\n' ]]; do ERR=${ERR%$'\n'}; done
}

run_cli() {
    run_tool "$CLI" "$@"
}

# make-fixtures MODE ARGS... (the output folder last); stops the run when it fails.
make_fixtures() {
    run_tool "$MAKE_FIXTURES" "$@"
    if [ "$RC" -ne 0 ]; then
        echo "make-fixtures $* failed ($RC): $ERR" >&2
        exit 2
    fi
}

# Results are lines "ORDER<TAB>KIND<TAB>TEXT" in the worker's file; finish sorts them by ORDER.
ORDER=0
record() {
    printf '%s\t%s\t%s\n' "$ORDER" "$1" "$2" >>"$RESULTS"
}

pass() {
    record PASS "$1"
}

# fail LABEL NOTE REASON
fail() {
    if [[ "$2" == known-bug* ]]; then
        record KNOWN "KNOWN $1: $3 (${2#known-bug: })"
    else
        record FAIL "FAIL  $1: $3"
    fi
}

# Prints the failures in table order and the totals; its status is whether nothing failed.
finish() {
    local passed=0 failed=0 known=0 order kind text
    local -A seen=()
    while IFS=$'\t' read -r order kind text; do
        seen[$order]=1
        case "$kind" in
        PASS) passed=$((passed + 1)) ;;
        FAIL) failed=$((failed + 1)) && echo "$text" ;;
        KNOWN) known=$((known + 1)) && echo "$text" ;;
        *) echo "$text" ;;
        esac
    done < <(cat "$WORK"/results.* | sort -s -t $'\t' -k1,1n)
    # A worker that died leaves cases without a result.
    local i
    for ((i = 1; i <= ${#CASES[@]}; i++)); do
        if [ -z "${seen[$i]+set}" ]; then
            failed=$((failed + 1))
            echo "FAIL  $(cut -f1 <<<"${CASES[i - 1]}"): no result (the runner stopped)"
        fi
    done
    [ "$known" -eq 0 ] || echo "$known known failures (not counted)"
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# Expands a byte PATTERN into lower-case hex in REPLY.
expand_pattern() {
    local pattern=$1 out="" item count atom piece rep
    local -a items
    IFS=, read -ra items <<<"$pattern"
    for item in "${items[@]}"; do
        count=1
        atom=$item
        if [[ "$item" == *'*'* ]]; then
            count=${item%%\**}
            atom=${item#*\*}
        fi
        if [ -n "${ALIAS[$atom]+set}" ]; then
            expand_pattern "${ALIAS[$atom]}"
            piece=$REPLY
        elif [[ "$atom" =~ ^[0-9a-fA-F]+$ ]] && ((${#atom} % 2 == 0)); then
            piece=${atom,,}
        else
            REPLY="bad pattern item '$item'"
            return
        fi
        # Repeated by doubling: one substitution over a long blank run is quadratic in bash.
        rep=$piece
        while ((count > 0)); do
            ((count & 1)) && out+=$rep
            rep+=$rep
            count=$((count >> 1))
        done
    done
    REPLY=$out
}

# The bytes of a file as lower-case hex in REPLY.
file_hex() {
    REPLY=$(od -An -v -tx1 -w65536 "$1" | tr -d ' \n')
}

# Compares an exported file with a byte PATTERN; PROBLEM says what differs, empty when equal.
compare_px() {
    local file=$1 pattern=$2 got want
    PROBLEM=""
    if [ ! -f "$file" ]; then
        PROBLEM="no output file"
        return
    fi
    file_hex "$file"
    got=$REPLY
    expand_pattern "$pattern"
    want=$REPLY
    [ "$got" != "$want" ] || return 0
    if [[ "$want" == bad* ]]; then
        PROBLEM=$want
    elif [ ${#got} -ne ${#want} ]; then
        PROBLEM="$((${#got} / 2)) bytes, want $((${#want} / 2))"
    else
        local i=0
        while [ "${got:i:8}" == "${want:i:8}" ]; do i=$((i + 8)); done
        PROBLEM="pixel $((i / 8)) (in memory order) is ${got:i:8}, want ${want:i:8}"
    fi
}

# Checks a PNG: signature, IHDR size, and (with Python's PIL) an RGB picture (RGBA when $4 is
# RGBA) whose pixels are those of the .bgra export $3 (bottom-up B, G, R, A) turned top-down.
check_png() {
    local png=$1 size=$2 bgra=$3 mode=${4:-RGB} head w h
    [ -f "$png" ] || {
        echo "no PNG written"
        return
    }
    head=$(od -An -v -tx1 -N24 "$png" | tr -d ' \n')
    if [ "${head:0:16}" != 89504e470d0a1a0a ] || [ "${head:24:8}" != 49484452 ]; then
        echo "not a PNG (starts $head)"
        return
    fi
    w=$((16#${head:32:8}))
    h=$((16#${head:40:8}))
    [ "${w}x${h}" == "$size" ] || {
        echo "PNG is ${w}x${h}, want $size"
        return
    }
    # Debian's Python, which has python3-pil, even where another python3 comes first on PATH.
    local python=/usr/bin/python3
    [ -x "$python" ] || python=python3
    "$python" -c 'import PIL' 2>/dev/null || {
        echo "Pillow is missing (apt-get install python3-pil): PNG pixels not checked"
        return
    }
    "$python" - "$png" "$bgra" "$w" "$h" "$mode" <<'EOF'
import sys
from PIL import Image
png, bgra, w, h, mode = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
try:
    img = Image.open(png)
    img.load()
except Exception as e:
    sys.exit(print(f"PNG does not decode: {e}"))
if img.mode != mode or img.size != (w, h):
    sys.exit(print(f"PNG mode {img.mode} size {img.size}, want {mode} ({w}, {h})"))
raw = open(bgra, "rb").read()
want = bytearray()
for y in range(h):
    row = raw[(h - 1 - y) * w * 4:(h - y) * w * 4]
    for x in range(w):
        want += bytes((row[4 * x + 2], row[4 * x + 1], row[4 * x])) + row[4 * x + 3:4 * x + 4] * (mode == "RGBA")
if img.tobytes() != bytes(want):
    sys.exit(print("PNG pixels differ from the display image"))
EOF
}

# prepare TABLE DIR MODE [ARGS...]: makes the files of DIR with make-fixtures MODE ARGS... DIR
# and reads the `alias` lines of TABLE into ALIAS.
prepare() {
    local table=$1 dir=$2 kind name pattern
    shift 2
    mkdir -p "$dir"
    make_fixtures "$@" "$dir"
    while IFS=$'\t' read -r kind name pattern _; do
        if [ "$kind" == alias ]; then ALIAS[$name]=$pattern; fi
    done <"$table"
}

# add_case LABEL FILE ARGS VIEW STATUS CHECK NOTE: one case on FILE (a path) for run_cases.
add_case() {
    local IFS=$'\t'
    CASES+=("$*")
}

# Runs every added case, spread over $JOBS workers (each with its own scratch folder).
run_cases() {
    local jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)} k
    for ((k = 0; k < jobs; k++)); do
        (
            SLOT=$WORK/slot$k
            RESULTS=$WORK/results.$k
            mkdir -p "$SLOT"
            local i
            for ((i = k; i < ${#CASES[@]}; i += jobs)); do
                ORDER=$((i + 1))
                IFS=$'\t' read -r -a fields <<<"${CASES[i]}"
                run_case "${fields[@]}"
            done
        ) &
    done
    wait
}

# run_case LABEL FILE ARGS VIEW STATUS CHECK [NOTE]
run_case() {
    local label=$1 file=$2 view=$4 status=$5 check=$6 note=${7:-} out="" problem=""
    local -a args=()
    [ "$3" == - ] || read -ra args <<<"$3"
    case "$view" in
    info) run_cli info "$file" "${args[@]}" ;;
    color | blend | alpha)
        out=$SLOT/out.bgra
        rm -f "$out"
        run_cli export "$file" "$out" --view "$view" "${args[@]}"
        ;;
    raw | png | rgba)
        out=$SLOT/out.png
        rm -f "$out"
        [ "$view" != raw ] || args+=(--raw)
        [ "$view" != rgba ] || args+=(--view rgba)
        run_cli export "$file" "$out" "${args[@]}"
        ;;
    cmd)
        # ARGS is the whole command line: FILE stands for the file, +NAME for the fixture NAME
        # beside it, OUT.EXT for an output file (the one checked), NODIR/OUT.EXT for one in a
        # folder that does not exist, OLD/OUT.EXT for an output file that exists and is larger than
        # what is written, DIR for an empty output folder (DIR/ too), EMPTY for an empty argument,
        # <FILE the file as standard input, STDOUT "-" with standard output the output checked,
        # COPY:NAME a copy of the file named NAME.
        local -a line=()
        local word STDIN=""
        for word in "${args[@]}"; do
            case "$word" in
            FILE) word=$file ;;
            +*) word=$(dirname "$file")/${word#+}.dds ;;
            DIR*) rm -rf "$SLOT/dir" && mkdir "$SLOT/dir" && word=$SLOT/dir${word#DIR} ;;
            OUT.*) out=$SLOT/out.${word#OUT.} && rm -f "$out" && word=$out ;;
            NODIR/*) word=$SLOT/nodir/${word#NODIR/} ;;
            OLD/OUT.*)
                out=$SLOT/out.${word#OLD/OUT.}
                head -c 100000 /dev/zero | tr '\0' '\356' >"$out"
                word=$out
                ;;
            EMPTY) word="" ;;
            '<FILE') STDIN=$file && continue ;;
            STDOUT) out=$SLOT/stdout && word=- ;;
            COPY:*) cp "$file" "$SLOT/${word#COPY:}" && word=$SLOT/${word#COPY:} ;;
            esac
            line+=("$word")
        done
        run_cli "${line[@]}"
        ;;
    *)
        fail "$label" "" "unknown view '$view' in the table"
        return
        ;;
    esac
    local said="brixa-cli: $file: "
    if [[ "$check" == dir:* ]]; then
        local listed
        listed=$(ls "$SLOT/dir" 2>/dev/null | paste -sd ' ') || true
        [ "$listed" == "${check#dir:}" ] || problem="wrote '$listed', want '${check#dir:}'"
    fi
    if [ -n "$problem" ]; then
        :
    elif [ "$RC" != "$status" ]; then
        problem="exit $RC, want $status"
        if [ "$RC" -eq 5 ] || [ "$RC" -ge 128 ]; then problem+=" (crashed?)"; fi
        [ -z "$ERR" ] || problem+="; stderr: ${ERR//$'\n'/|}"
    elif [ "$status" -ne 0 ]; then
        if [ -n "$out" ] && [ "$out" != "$SLOT/stdout" ] && [ -e "$out" ]; then
            problem="wrote $out although it failed"
        elif [[ "$check" == err:* ]] && [ "${ERR//$'\n'/|}" != "$said${check#err:}" ]; then
            problem="stderr '${ERR//$'\n'/|}', want '$said${check#err:}'"
        elif [[ "$check" == errhas:* ]] && [[ "$ERR" != *"${check#errhas:}"* ]]; then
            problem="stderr '${ERR//$'\n'/|}' lacks '${check#errhas:}'"
        elif [[ "$check" == out:* ]] && [[ "$OUT" != *"${check#out:}"* ]]; then
            problem="stdout lacks '${check#out:}'"
        elif [[ "$check" == syserr:* ]]; then
            local texts="|${SYSTEM_TEXTS[${check#syserr:}]:-}|"
            [[ "$ERR" == "$said"* && "$texts" == *"|${ERR#"$said"}|"* ]] ||
                problem="stderr '${ERR//$'\n'/|}', want '$said${texts:1:-1}'"
        fi
    elif [ -n "$ERR" ]; then
        problem="stderr not empty: ${ERR//$'\n'/|}"
    else
        case "$check" in
        lines:*)
            local want=${check#lines:}
            want=${want//VERSION/${BRIXA_VERSION:-}}
            [ "${OUT//$'\n'/|}" == "$want" ] || problem="printed '${OUT//$'\n'/|}', want '$want'"
            ;;
        out:*) [[ "$OUT" == *"${check#out:}"* ]] || problem="stdout lacks '${check#out:}'" ;;
        px:*)
            compare_px "$out" "${check#px:}"
            problem=$PROBLEM
            ;;
        png:*)
            # The same surface exported as .bgra (its colours unless --view is given) is what
            # the PNG must show: with alpha (RGBA) unless the check ends in :RGB.
            local -a view=(--view color)
            [[ " ${args[*]} " != *" --view "* ]] || view=()
            run_cli export "$file" "$SLOT/same.bgra" "${args[@]}" "${view[@]}"
            local size=${check#png:} mode=RGBA
            [[ "$size" != *:RGB ]] || mode=RGB size=${size%:RGB}
            problem=$(check_png "$out" "$size" "$SLOT/same.bgra" $mode)
            ;;
        utf8json:*)
            /usr/bin/python3 -c 'import json, sys
o = json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))
sys.exit(0 if o["file"].endswith(sys.argv[2]) else "file is " + o["file"])' \
                "$SLOT/stdout" "${check#utf8json:}" >/dev/null 2>&1 || problem="JSON is no UTF-8 naming the file"
            ;;
        - | dir:*) ;;
        *) problem="unknown check '$check' in the table" ;;
        esac
    fi
    if [ -n "$problem" ]; then
        fail "$label" "$note" "$problem"
    else
        pass "$label"
        if [[ "$note" == known-bug* ]]; then
            record NOTE "NOTE  $label passes now; drop its known-bug mark"
        fi
    fi
}
