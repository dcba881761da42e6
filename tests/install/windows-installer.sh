#!/usr/bin/env bash
# The Windows installer's round trip under 64-bit Wine: a silent install (/S /ADDTOPATH) over
# another program's .dds default; the files, the Start-menu shortcut, the keys it writes and
# brixa-cli's folder on the user's Path; a reinstall into another folder takes the first copy
# away; Brixa started by the installed open command shows a sample; its Help menu's Remove
# takes the installer's association away (.dds back to the other program) and its Associate
# makes its own; a silent uninstall leaves the registry (HKCU, and HKLM\Software where Brixa
# keeps its settings under Wine) as it was before and nothing of Brixa on disk. Its thumbnail
# handler is named for .dds where no other is, and a second round trip over another program's
# handler keeps that one.
#   windows-installer.sh INSTALLER.exe SAMPLE.dds
# Needs DISPLAY (an Xvfb) and WINEPREFIX (a prefix of its own); programs run through
# cmake/wine-run.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
wine=$root/cmake/wine-run.sh
installer=$1
sample=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/brixa-installer.XXXXXX")
trap 'rm -rf "$work"' EXIT
classes='HKCU\Software\Classes'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brixa'
thumbs_class="$classes\\CLSID\\{f7c0844b-82cc-4608-bf9f-d7b832305936}"
thumbs_entry="$classes\\.dds\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}"

# A program through Wine, once more when Wine failed to start it (status 1, no output at all:
# it happens now and then on a busy machine).
run() {
    local out rc try
    for try in 1 2; do
        rc=0
        out=$("$wine" "$@" 2>"$work/stderr") || rc=$?
        [ "$rc" = 1 ] && [ -z "$out" ] && [ ! -s "$work/stderr" ] || break
    done
    [ -z "$out" ] || printf '%s\n' "$out"
    cat "$work/stderr" >&2
    return $rc
}

fail() {
    echo "FAIL  installer: $*" >&2
    exit 1
}

# The data of a registry value (the default value without NAME), empty when there is none.
reg_value() {
    local out
    if [ $# = 1 ]; then
        out=$(run reg query "$1" /ve 2>/dev/null) || return 0
    else
        out=$(run reg query "$1" /v "$2" 2>/dev/null) || return 0
    fi
    out=$(grep -m1 'REG_' <<<"${out//$'\r'/}") || return 0
    sed -E 's/^ +[^ ].*  +REG_[A-Z_]+ {4}//' <<<"$out"
}

unix_path() {
    local p
    p=$(run winepath -u "$1")
    echo "${p//$'\r'/}"
}

# HKCU and HKLM\Software as text, for comparing before and after (without Wine's own keys,
# which it changes as programs run).
snapshot() {
    local key
    for key in HKEY_CURRENT_USER 'HKEY_LOCAL_MACHINE\Software'; do
        run regedit /E "$(winepath_of "$work/export.reg")" "$key" >/dev/null 2>&1
        iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' |
            awk '/^\[/ { skip = index($0, "\\Software\\Wine") > 0 } !skip'
    done >"$1"
}
winepath_of() { echo "Z:${1//\//\\}"; }

wait_for() { # SECONDS COMMAND...: until the command succeeds
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}

# ---- before: another program owns .dds
run reg add "$classes\\.dds" /ve /d OtherViewer.dds /f >/dev/null
snapshot "$work/before.txt"

# ---- silent install, then again into another folder
run "$installer" /S /ADDTOPATH || fail "the installer exited with $?"
first=$(unix_path "$(reg_value "$uninstall_key" InstallLocation)")
[ -f "$first/Brixa.exe" ] || fail "the first install has no Brixa.exe"
run "$installer" /S /ADDTOPATH "/D=C:\BrixaTools" || fail "the reinstall exited with $?"
[ ! -e "$first" ] || fail "the reinstall left the first copy in $first"
location=$(reg_value "$uninstall_key" InstallLocation)
[ "$location" == 'C:\BrixaTools' ] || fail "InstallLocation is '$location' after the reinstall"
dir=$(unix_path "$location")
[ "$(reg_value 'HKCU\Environment' Path)" == "$location" ] || fail "the user's Path is '$(reg_value 'HKCU\Environment' Path)'"
[ -n "$(reg_value "$uninstall_key" EstimatedSize)" ] || fail "no EstimatedSize"
for f in Brixa.exe brixa-cli.exe README.txt LICENSE Uninstall.exe; do
    [ -f "$dir/$f" ] || fail "$location has no $f"
done
appdata=$(unix_path "$(run cmd /c echo %APPDATA% | tr -d '\r')")
shortcut="$appdata/Microsoft/Windows/Start Menu/Programs/Brixa.lnk"
[ -f "$shortcut" ] || fail "no Start-menu shortcut $shortcut"
command=$(reg_value "$classes\\Brixa.exe\\shell\\open\\command")
[ "$command" == "\"$location\\Brixa.exe\" \"%1\"" ] || fail "open command is '$command'"
for check in ".dds||Brixa.exe" ".dds\\OpenWithProgids|Brixa.exe|" ".dds|Brixa.PreviousClass|OtherViewer.dds" \
    "Brixa.exe\\DefaultIcon||$location\\Brixa.exe,0" \
    "Applications\\Brixa.exe\\shell\\open\\command||$command" \
    "Applications\\Brixa.exe\\SupportedTypes|.dds|"; do
    IFS='|' read -r key name want <<<"$check"
    if [ -n "$name" ]; then
        run reg query "$classes\\$key" /v "$name" >/dev/null 2>&1 ||
            fail "no value $name in $classes\\$key"
    fi
    got=$(if [ -n "$name" ]; then reg_value "$classes\\$key" "$name"; else reg_value "$classes\\$key"; fi)
    [ "$got" == "$want" ] || fail "$classes\\$key ${name:-(default)} is '$got', want '$want'"
done
[ "$(reg_value "$thumbs_class\\InprocServer32")" == "$location\\BrixaThumbs.dll" ] &&
    [ "$(reg_value "$thumbs_class\\InprocServer32" ThreadingModel)" == Apartment ] &&
    [ -f "$dir/BrixaThumbs.dll" ] || fail "the thumbnail handler's class is not registered"
[ "$(reg_value "$thumbs_entry")" == "{f7c0844b-82cc-4608-bf9f-d7b832305936}" ] ||
    fail "the thumbnail handler is not named for .dds"
echo "installed: $location (files, shortcut, association, uninstall entry)"

# ---- Brixa from the installed open command shows the sample
exe=${command#\"}
exe=${exe%%\"*}
WINE_RUN_DIRECT=1 "$wine" "$exe" "$(winepath_of "$sample")" >/dev/null 2>&1 </dev/null &
viewer=$!
name=$(basename "$sample")
find_window() { window=$(xdotool search --name "^Brixa - \\[${name//./\\.}\\]" 2>/dev/null | head -1) && [ -n "$window" ]; }
wait_for 30 find_window || fail "no window titled with $name"
echo "window: $(xdotool getwindowname "$window")"

# ---- its Help menu: Remove after the installer's association, then Associate
box() { # CAPTION KEY: answers the message box with that caption
    local b
    find_box() { b=$(xdotool search --name "^$1\$" 2>/dev/null | head -1) && [ -n "$b" ]; }
    wait_for 15 find_box "${1//./\\.}" || fail "no box '$1'"
    xdotool windowfocus --sync "$b" key "$2"
}
help_item() { # DOWNS: the Help menu's item after that many Down keys
    xdotool windowfocus --sync "$window" key alt+h
    sleep 0.3
    for _ in $(seq "$1"); do xdotool key Down; done
    xdotool key Return
}
help_item 1
box Warning... y
box Information... Return
[ "$(reg_value "$classes\\.dds")" == OtherViewer.dds ] || fail "Remove left .dds at '$(reg_value "$classes\\.dds")'"
! run reg query "$classes\\Brixa.exe" >/dev/null 2>&1 || fail "Remove left the class Brixa.exe"
help_item 0
box Information... Return
[ "$(reg_value "$classes\\.dds")" == Brixa.exe ] || fail "Associate left .dds at '$(reg_value "$classes\\.dds")'"
[ "$(reg_value "$classes\\Brixa.exe\\shell\\Open\\command")" == "$command" ] ||
    fail "Associate wrote '$(reg_value "$classes\\Brixa.exe\\shell\\Open\\command")'"
echo "Help menu: Remove gave .dds back to OtherViewer.dds, Associate took it again"
xdotool windowfocus --sync "$window" key Escape
wait_for 15 eval '! kill -0 $viewer 2>/dev/null' || fail "Brixa did not close on Esc"

# ---- silent uninstall (the uninstaller runs a copy of itself and returns at once)
run "$dir/Uninstall.exe" /S /REMOVESETTINGS
gone() { [ ! -e "$dir" ] && ! run reg query "$uninstall_key" >/dev/null 2>&1; }
wait_for 30 gone || fail "$location or $uninstall_key is still there after the uninstall"
[ ! -e "$shortcut" ] || fail "the shortcut is still there"
[ "$(reg_value "$classes\\.dds")" == OtherViewer.dds ] || fail "the previous .dds default is not back"
snapshot "$work/after.txt"
if ! diff "$work/before.txt" "$work/after.txt" >"$work/diff.txt"; then
    cat "$work/diff.txt" >&2
    fail "the registry differs from before the install"
fi
echo "uninstalled: files, shortcut and keys gone, OtherViewer.dds the .dds default again"

# ---- another program's thumbnail handler stays through an install and an uninstall
other='{00000000-1111-2222-3333-444444444444}'
run reg add "$thumbs_entry" /ve /d "$other" /f >/dev/null
run "$installer" /S || fail "the second install exited with $?"
[ "$(reg_value "$thumbs_entry")" == "$other" ] || fail "the install replaced another thumbnail handler"
dir=$(unix_path "$(reg_value "$uninstall_key" InstallLocation)")
run "$dir/Uninstall.exe" /S /REMOVESETTINGS
wait_for 30 gone || fail "the second uninstall did not finish"
[ "$(reg_value "$thumbs_entry")" == "$other" ] || fail "the uninstall removed another thumbnail handler"
run reg delete "$classes\\.dds\\ShellEx" /f >/dev/null
snapshot "$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "the registry differs after the second round trip"
echo "another program's thumbnail handler kept through install and uninstall"
