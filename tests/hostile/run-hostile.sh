#!/usr/bin/env bash
# Runs the hostile corpus through brixa-cli and compares every outcome with expected.tsv.
#   run-hostile.sh CLI [EMULATOR...]
# The corpus is made by make-fixtures of the same build ($MAKE_FIXTURES, else found beside the
# CLI), through the same emulator. Each file goes through info and the three export views; a
# file of the corpus without all four rows in the table is a failure too.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=../cli/lib.sh
source "$here/../cli/lib.sh"
lib_init "$@"

table=$here/expected.tsv
corpus=$WORK/corpus
prepare "$table" "$corpus" hostile

declare -A covered=()
while IFS=$'\t' read -r name args view status check note; do
    case "$name" in '' | '#'* | alias) continue ;; esac
    label="$name${args:+ $args} $view"
    label=${label/ - / }
    if [ ! -f "$corpus/$name.dds" ]; then
        fail "$label" "" "the corpus has no $name.dds"
        continue
    fi
    [ "$args" != - ] || covered[$name/$view]=1
    add_case "$label" "$corpus/$name.dds" "$args" "$view" "$status" "$check" "${note:-}"
done <"$table"
run_cases

for file in "$corpus"/*.dds; do
    name=$(basename "$file" .dds)
    for view in info color blend alpha; do
        [ -n "${covered[$name/$view]+set}" ] || fail "$name $view" "" "no row in expected.tsv"
    done
done
finish
