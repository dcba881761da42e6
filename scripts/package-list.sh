# Sourced by scripts/run, scripts/install-linux and scripts/test-all: the packages of a
# purpose, read from scripts/packages, and their install.
#   packages_for PURPOSE...      prints the packages, one a line, in the file's order
#   missing_packages PURPOSE...  prints those not installed
#   install_packages PURPOSE...  installs the missing ones (as root), or names them and fails
PACKAGE_LIST=${PACKAGE_LIST:-$(dirname "${BASH_SOURCE[0]}")/packages}

packages_for() {
    awk -v want=" $* " '
        /^[ \t]*(#|$)/ { next }
        { for (i = 2; i <= NF; i++) if (index(want, " " $i " ")) { if (!seen[$1]++) print $1; next } }
    ' "$PACKAGE_LIST"
}

missing_packages() {
    local p
    for p in $(packages_for "$@"); do
        dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || echo "$p"
    done
}

install_packages() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -gt 0 ] || return 0
    if [ "$(id -u)" != 0 ]; then
        echo "Missing Debian packages; install them as root first:" >&2
        echo "  apt-get install --no-install-recommends ${missing[*]}" >&2
        return 1
    fi
    echo "Installing ${missing[*]} ..." >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
