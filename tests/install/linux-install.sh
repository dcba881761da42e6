#!/usr/bin/env bash
# The Linux install's round trip: scripts/install-linux into a fresh home (the default prefix
# ~/.local) where another application is the image/x-dds default, `xdg-open SAMPLE.dds` opens
# a Brixa window titled with that file (the launcher making its Wine prefix on first use),
# brixa-cli answers from PATH, and scripts/install-linux --uninstall leaves the home as it
# was, the other default and its files byte for byte; the thumbnailer, run as a file manager
# runs it, writes the sample's picture.
#   linux-install.sh SAMPLE.dds   (needs DISPLAY; BRIXA_EXE, BRIXA_CLI: a built Brixa.exe, brixa-cli)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
sample=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
home=$(mktemp -d "${TMPDIR:-/tmp}/brixa-home.XXXXXX")
viewer=
cleanup() {
    [ -z "$viewer" ] || kill "$viewer" 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT
export HOME=$home
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DATA_DIRS XDG_CURRENT_DESKTOP DESKTOP_SESSION
# No desktop environment: xdg-open and xdg-mime use the shared MIME database and the
# .desktop files, as the file managers do.
fail() {
    echo "FAIL  linux install: $*" >&2
    exit 1
}

mkdir -p "$home/work" "$home/.config" "$home/.local/share/applications"
cp "$sample" "$home/work/"
sample=$home/work/$(basename "$sample")
printf '[Desktop Entry]\nType=Application\nName=Other\nExec=true %%f\nMimeType=image/x-dds;\n' \
    >"$home/.local/share/applications/other.desktop"
printf '[Default Applications]\nimage/x-dds=other.desktop\n' >"$home/.config/mimeapps.list"
snapshot() { (cd "$home" && find . -type f -exec md5sum {} + | sort -k2 && find . | sort); }
before=$(snapshot)

"$root/scripts/install-linux" || fail "scripts/install-linux failed"
for f in bin/brixa lib/brixa/Brixa.exe share/applications/brixa.desktop \
    share/mime/packages/brixa.xml share/icons/hicolor/48x48/apps/brixa.png bin/brixa-cli \
    share/thumbnailers/brixa.thumbnailer; do
    [ -e "$home/.local/$f" ] || fail "~/.local/$f is missing"
done
desktop-file-validate "$home/.local/share/applications/brixa.desktop" || fail "brixa.desktop is not valid"
type=$(xdg-mime query filetype "$sample")
[ "$type" == image/x-dds ] || fail "xdg-mime says $sample is '$type'"
default=$(xdg-mime query default image/x-dds)
[ "$default" == brixa.desktop ] || fail "the default application for image/x-dds is '$default'"
PATH=$home/.local/bin:$PATH brixa-cli --version | grep -q '^brixa-cli ' || fail "brixa-cli does not answer"

# The thumbnailer for the type of the sample, its Exec line filled in as file managers do.
entry=$home/.local/share/thumbnailers/brixa.thumbnailer
grep -qx "MimeType=$type;" "$entry" || fail "brixa.thumbnailer is not for $type"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
exec_line=${exec_line//%i/$sample}
exec_line=${exec_line//%o/$home/thumb.png}
(cd / && eval "env -i ${exec_line//%s/48}") || fail "the thumbnailer's command failed: $exec_line"
size=$(identify -format %wx%h "$home/thumb.png") || fail "the thumbnailer wrote no picture"
[ "$size" == 48x48 ] || fail "the thumbnail is $size, want 48x48"
rm "$home/thumb.png"

xdg-open "$sample" >/dev/null 2>&1 </dev/null &
viewer=$!
name=$(basename "$sample")
window=
for _ in $(seq 600); do # the first start makes the Wine prefix: up to a minute
    window=$(xdotool search --name "^Brixa - \\[${name//./\\.}\\]" 2>/dev/null | head -1) || true
    [ -z "$window" ] || break
    sleep 0.1
done
[ -n "$window" ] || fail "xdg-open $name opened no window titled with it"
echo "window: $(xdotool getwindowname "$window")"
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 150); do kill -0 "$viewer" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$viewer" 2>/dev/null || fail "Brixa did not close on Esc"
viewer=
# Wine's server outlives the viewer for a moment; the prefix goes with the uninstall.
WINEPREFIX=$home/.local/share/brixa/wine "${WINESERVER:-wineserver}" -k 2>/dev/null || true

"$root/scripts/install-linux" --uninstall || fail "scripts/install-linux --uninstall failed"
after=$(snapshot)
[ "$before" == "$after" ] || fail "not as before: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | tr '\n' ' ')"
echo "installed, opened $name with xdg-open, uninstalled: nothing left"
