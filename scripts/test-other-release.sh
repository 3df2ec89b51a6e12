#!/usr/bin/env bash
# Runs the test command on the other supported Debian release than this machine's (12
# "bookworm" and 13 "trixie"), as a new user of that release would: in a fresh root of it made
# with debootstrap, from the mirror this machine's own apt source names, on a fresh clone of
# this checkout's commit. .ci/run runs it after the test command, so that a change passes only
# if it passes on both releases. Arguments go to ctest, as with the test command.
#
# The base root (what a fresh machine of this project's kind holds: git, cmake, make, g++,
# clang, clang-tidy, python3) is made once and kept in $QUORVANE_ROOT_CACHE; every run copies
# it afresh and removes the copy after. The packages apt fetches inside are kept there too.
source "$(dirname "$0")/common.sh"
[ -z "$NATIVE_WINDOWS" ] || { echo "The other Debian release is tried on Debian only."; exit 0; }
[ "$(id -u)" = 0 ] || { echo "The other Debian release needs root (debootstrap, chroot)." >&2; exit 1; }
CACHE=${QUORVANE_ROOT_CACHE:-/var/cache/quorvane}
BASE_PACKAGES=ca-certificates,git,cmake,make,g++,python3,clang,clang-tidy

this=$(debian_codename)
case $this in
bookworm) other=trixie number=13 ;;
trixie) other=bookworm number=12 ;;
*)
    echo "Debian '$this' is neither 12 nor 13: no other release to test beside it."
    exit 0
    ;;
esac
mirror=$(debian_mirror "$this")
[ -n "$mirror" ] || { echo "No Debian source for '$this' main in apt's sources to take a mirror from." >&2; exit 1; }
setup_i386 >/dev/null  # as the root's run will find it: natively or emulated

base=$CACHE/$other-base
if [ ! -e "$base/.complete" ]; then
    command -v debootstrap >/dev/null || {
        apt-get update -q >/dev/null
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null
    }
    echo "Making a Debian $number ($other) base root from $mirror (kept in $base)"
    rm -rf "$base"
    mkdir -p "$CACHE"
    debootstrap --variant=minbase --include="$BASE_PACKAGES" "$other" "$base" "$mirror" >"$CACHE/$other-debootstrap.log" 2>&1 ||
        { tail -n 20 "$CACHE/$other-debootstrap.log" >&2; echo "debootstrap failed." >&2; exit 1; }
    touch "$base/.complete"
fi

ROOT=$(mktemp -d "/var/tmp/quorvane-$other.XXXXXX")
MOUNTS=()
cleanup_root() {
    local i
    for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
        umount -R "${MOUNTS[i]}" 2>/dev/null || umount -R -l "${MOUNTS[i]}" 2>/dev/null || true
    done
    # Only once nothing is mounted inside any more.
    if ! grep -q " $ROOT/" /proc/mounts; then rm -rf "$ROOT"; fi
}
trap cleanup_root EXIT
bind() {
    mkdir -p "$ROOT$2"
    mount --rbind "$1" "$ROOT$2"
    mount --make-rslave "$ROOT$2"
    MOUNTS+=("$ROOT$2")
}
cp -a "$base/." "$ROOT/"
rm -f "$ROOT/.complete"
mkdir -p "$CACHE/$other-apt-archives/partial"
bind /proc /proc
bind /sys /sys
bind /dev /dev
# One /tmp: the X servers of both sides share their sockets' abstract names, and their lock
# files there keep them off each other's display numbers.
bind /tmp /tmp
bind "$CACHE/$other-apt-archives" /var/cache/apt/archives
cp /etc/resolv.conf "$ROOT/etc/resolv.conf"
git clone -q --no-checkout "$QUORVANE_ROOT" "$ROOT/root/quorvane"
git -C "$ROOT/root/quorvane" checkout -q --detach "$(git -C "$QUORVANE_ROOT" rev-parse HEAD)"

echo "The test command again, on Debian $number ($other), in a fresh root of it ($ROOT):"
inside() {
    chroot "$ROOT" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        ${QUORVANE_I386:+QUORVANE_I386="$QUORVANE_I386"} ${CI:+CI="$CI"} \
        bash -c 'cd /root/quorvane && "$@"' inside "$@"
}
# Where this machine emulates 32-bit programs, the other release's Wine may not run that way:
# then say so, and leave the machine's own release as the only one tested.
inside bash -c 'source scripts/common.sh; install_packages'
if [[ $I386_WAY == emulated* ]] && ! why=$(inside bash -c 'source scripts/common.sh; setup_i386' 2>&1); then
    echo "Debian $number's Wine does not run with 32-bit programs emulated here ($(printf '%s' "$why" | tail -n 1)): only Debian $(cat /etc/debian_version) was tested."
    exit 0
fi
inside bash scripts/test.sh "$@"
