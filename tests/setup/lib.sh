# shellcheck shell=bash
# What the set-up's tests share. A test runs either in a fresh root of a Debian release
# (in_fresh_root), where it may change apt at will, or on the machine itself, for what only the
# machine has: the handlers of 32-bit programs. tests/setup/run.sh runs them all, as root.
# shellcheck source=scripts/common.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"

said=""  # what the code under test printed, shown when a check fails
fails() {
    echo "FAILED: $*" >&2
    [ -z "$said" ] || printf '%s\n' "$said" | sed 's/^/  | /' >&2
    exit 1
}

# Runs the calling test again in a fresh root, of the release named ($1) or else the other one
# than the machine's, on a fresh clone of this commit, and exits with its status, failing it
# where the machine's handlers are not as the root found them. In the root (--inside), returns.
in_fresh_root() {
    [ "${1:-}" != --inside ] || return 0
    # shellcheck source=scripts/lib/roots.sh
    source "$QUORVANE_ROOT/scripts/lib/roots.sh"
    other_release
    fresh_root "${1:-$OTHER}"
    clone_into_root
    watch_handlers
    local status=0
    inside bash "$(realpath --relative-to="$QUORVANE_ROOT" "$0")" --inside || status=$?
    handlers_unchanged || status=1
    exit $status
}

# A package's stanza in an index, with a file of one byte that nothing downloads.
stanza() { printf 'Package: %s\nVersion: %s\nArchitecture: %s\n%bFilename: pool/%s.deb\nSize: 1\nSHA256: %064d\nDescription: stand-in\n' "$1" "$2" "$3" "${4:-}" "$1" 0; }

# Suite $2 of a local repository at $1 (a file: source), its amd64 and i386 indexes holding the
# stanzas $3 and $4, listed with their hashes in its Release.
local_suite() {
    local dists=$1/dists/$2 arch
    mkdir -p "$dists/main/binary-amd64" "$dists/main/binary-i386"
    printf '%s\n' "$3" >"$dists/main/binary-amd64/Packages"
    printf '%s\n' "$4" >"$dists/main/binary-i386/Packages"
    {
        printf 'Suite: %s\nCodename: %s\nDate: %s\nArchitectures: amd64 i386\nComponents: main\nSHA256:\n' "$2" "$2" "$(date -uR)"
        for arch in amd64 i386; do
            printf ' %s %s main/binary-%s/Packages\n' "$(sha256sum <"$dists/main/binary-$arch/Packages" | cut -d' ' -f1)" \
                "$(stat -c %s "$dists/main/binary-$arch/Packages")" "$arch"
        done
    } >"$dists/Release"
}

# The machine's apt reads only the local repository at $1, suite $2.
only_source() {
    rm -f /etc/apt/sources.list.d/*
    echo "deb [trusted=yes] file:$1 $2 main" >/etc/apt/sources.list
}
