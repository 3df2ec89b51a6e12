# shellcheck shell=bash
# Fresh roots of a Debian release, for trying the commands as a new user of it would: made
# with debootstrap from the mirror this machine's own apt source names. Sourced after
# common.sh, by the scripts that run something inside such a root. Needs root.
#
# A root shares the machine's kernel, and with it the machine's binfmt_misc handlers (how
# 32-bit programs run): each script that runs a root checks that it left them as it found them.
#
# The base root (what a fresh machine of this project's kind holds: git, cmake, make, g++,
# clang, clang-tidy, python3) is made once and kept in $ROOTS_CACHE; every fresh root is a
# copy of it, removed after. The packages apt fetches inside are kept there too.
ROOTS_CACHE=${QUORVANE_ROOT_CACHE:-/var/cache/quorvane}
BASE_PACKAGES=ca-certificates,git,cmake,make,g++,python3,clang,clang-tidy

# The supported release beside this machine's (12 "bookworm" and 13 "trixie"): sets OTHER and
# OTHER_NUMBER, or leaves OTHER empty on another release.
other_release() {
    # shellcheck disable=SC2034  # read by the scripts that source this file
    case $(debian_codename) in
    bookworm) OTHER=trixie OTHER_NUMBER=13 ;;
    trixie) OTHER=bookworm OTHER_NUMBER=12 ;;
    *) OTHER="" OTHER_NUMBER="" ;;
    esac
}

# The base root of the release named ($1), made if it is not complete yet; prints its path.
base_root() {
    local codename=$1 base=$ROOTS_CACHE/$1-base mirror
    if [ ! -e "$base/.complete" ]; then
        mirror=$(debian_mirror "$(debian_codename)")
        [ -n "$mirror" ] || { echo "No Debian source for '$(debian_codename)' main in apt's sources to take a mirror from." >&2; exit 1; }
        install_missing debootstrap >&2
        echo "Making a Debian $codename base root from $mirror (kept in $base)" >&2
        rm -rf "$base"
        mkdir -p "$ROOTS_CACHE"
        debootstrap --variant=minbase --include="$BASE_PACKAGES" "$codename" "$base" "$mirror" \
            >"$ROOTS_CACHE/$codename-debootstrap.log" 2>&1 ||
            { tail -n 20 "$ROOTS_CACHE/$codename-debootstrap.log" >&2; echo "debootstrap failed." >&2; exit 1; }
        touch "$base/.complete"
    fi
    echo "$base"
}

# A fresh copy of the base root of the release named ($1) at $ROOT, with /proc, /sys, /dev and
# /tmp bound into it, removed when the script ends.
ROOT=""
MOUNTS=()
WATCH_HANDLER=""
cleanup_root() {
    local i
    [ -z "$WATCH_HANDLER" ] || echo -1 >"$WATCH_HANDLER" 2>/dev/null || true
    for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
        umount -R "${MOUNTS[i]}" 2>/dev/null || umount -R -l "${MOUNTS[i]}" 2>/dev/null || true
    done
    # Only once nothing is mounted inside any more.
    if [ -n "$ROOT" ] && ! grep -q " $ROOT/" /proc/mounts; then rm -rf "$ROOT"; fi
}
bind_into_root() {
    mkdir -p "$ROOT$2"
    mount --rbind "$1" "$ROOT$2"
    mount --make-rslave "$ROOT$2"
    MOUNTS+=("$ROOT$2")
}
fresh_root() {
    local base
    base=$(base_root "$1") && [ -d "$base" ] || exit 1
    trap cleanup_root EXIT
    ROOT=$(mktemp -d "/var/tmp/quorvane-$1.XXXXXX")
    cp -a "$base/." "$ROOT/"
    rm -f "$ROOT/.complete"
    mkdir -p "$ROOTS_CACHE/$1-apt-archives/partial"
    bind_into_root /proc /proc
    bind_into_root /sys /sys
    bind_into_root /dev /dev
    # One /tmp: the X servers of both sides share their sockets' abstract names, and their lock
    # files there keep them off each other's display numbers.
    bind_into_root /tmp /tmp
    bind_into_root "$ROOTS_CACHE/$1-apt-archives" /var/cache/apt/archives
    cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
}

# A fresh clone of this checkout's commit at /root/quorvane in the root.
clone_into_root() {
    git clone -q --no-checkout "$QUORVANE_ROOT" "$ROOT/root/quorvane"
    git -C "$ROOT/root/quorvane" checkout -q --detach "$(git -C "$QUORVANE_ROOT" rev-parse HEAD)"
}

# Runs a command in the root, in /root/quorvane, with a clean environment as root has it there.
inside() {
    chroot "$ROOT" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c 'cd /root/quorvane && "$@"' inside "$@"
}

# Notes the machine's handlers before a root runs (after fresh_root). Where it has none, a handler
# of this script's own, for a file format that nothing uses, stands in, removed at the end.
HANDLERS_BEFORE=""
watch_handlers() {
    see_i386_handlers
    if [ -z "$(machine_handlers)" ]; then
        echo ':quorvane-watch:M::QuorvaneWatch::/bin/false:' >"$I386_HANDLERS/register"
        WATCH_HANDLER=$I386_HANDLERS/quorvane-watch
    fi
    HANDLERS_BEFORE=$(machine_handlers)
}

# Fails, saying what changed, where the handlers are not as watch_handlers found them.
handlers_unchanged() {
    local now
    now=$(machine_handlers)
    [ "$now" = "$HANDLERS_BEFORE" ] && return 0
    echo "FAILED: the root changed the machine's binfmt_misc handlers." >&2
    printf 'Before:\n%s\nAfter:\n%s\n' "${HANDLERS_BEFORE:-(none)}" "${now:-(none)}" | sed 's/^/  | /' >&2
    return 1
}
