#!/usr/bin/env bash
# Runs brixa-cli through the cases of cases.tsv: its arguments, exit statuses and messages, the
# surface selection, the views and background, and both output kinds.
#   test-cli.sh CLI [EMULATOR...]
# The fixtures are the table's `fixture` lines, made by make-fixtures of the same build.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=lib.sh
source "$here/lib.sh"
lib_init "$@"

table=$here/cases.tsv
fixtures=$WORK/fixtures
prepare "$table" "$fixtures" table "$table"

while IFS=$'\t' read -r name args view status check note; do
    case "$name" in '' | '#'* | alias | fixture) continue ;; esac
    label="$name $args $view"
    # missing and nodir name files that are not there.
    case "$name" in
    missing) file=$fixtures/missing.dds ;;
    nodir) file=$fixtures/nodir/missing.dds ;;
    *) file=$fixtures/$name.dds ;;
    esac
    add_case "$label" "$file" "$args" "$view" "$status" "$check" "${note:-}"
done <"$table"
run_cases
finish
