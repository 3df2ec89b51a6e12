#!/usr/bin/env bash
# A package mirror between two syncs, made at will in a fresh root of a Debian release (the
# other one than this machine's, or the one named): a local suite offers a newer amd64 build of
# a Multi-Arch: same library (libogg0), its lists read once for amd64 alone as a machine
# image's are, and then its i386 index stops matching its Release. The set-up must still
# install the library for both architectures, of one version, naming the suite it held back, and wait out another apt's lock on the
# way; and a machine without Wine must not be taken for one that refuses 32-bit programs.
source "$(dirname "$0")/../../scripts/common.sh"
if [ "${1:-}" != --inside ]; then
    source "$QUORVANE_ROOT/scripts/roots.sh"
    other_release
    fresh_root "${1:-$OTHER}"
    clone_into_root
    echo "A half-synced mirror, in a fresh root of Debian ${1:-$OTHER} ($ROOT):"
    inside bash tests/apt/half_synced_mirror.sh --inside && echo "1 passed, 0 failed" || { echo "0 passed, 1 failed"; exit 1; }
    exit 0
fi

fails() { echo "FAILED: $*" >&2; printf '%s\n' "$said" | sed 's/^/  | /' >&2; exit 1; }
repo=/srv/half-synced index=/srv/half-synced/dists/half/main
mkdir -p "$index/binary-amd64" "$index/binary-i386"
printf 'Package: libogg0\nVersion: 99:1\nArchitecture: amd64\nMulti-Arch: same\nFilename: pool/libogg0.deb\nSize: 1\nSHA256: %064d\nDescription: newer\n' 0 >"$index/binary-amd64/Packages"
printf 'Package: probe\nVersion: 1\nArchitecture: i386\nFilename: pool/probe.deb\nSize: 1\nSHA256: %064d\nDescription: probe\n' 0 >"$index/binary-i386/Packages"
{
    printf 'Suite: half\nCodename: half\nDate: %s\n' "$(date -uR)"
    printf 'Architectures: amd64 i386\nComponents: main\nSHA256:\n'
    for p in binary-amd64/Packages binary-i386/Packages; do
        printf ' %s %s main/%s\n' "$(sha256sum <"$index/$p" | cut -d' ' -f1)" "$(stat -c %s "$index/$p")" "$p"
    done
} >"$repo/dists/half/Release"
echo "deb [trusted=yes] file:$repo half main" >/etc/apt/sources.list.d/half-synced.list
apt-get update -q >/dev/null  # for amd64 alone, as an image's lists are
echo "X-Changed: after the Release" >>"$index/binary-i386/Packages"
# Another apt holding the lists' lock for a few seconds, as a fresh machine's first update does.
held=$(mktemp)
python3 -c 'import fcntl, time; f = open("/var/lib/apt/lists/lock", "w"); fcntl.lockf(f, fcntl.LOCK_EX); print("held", flush=True); time.sleep(6)' >"$held" &
until [ -s "$held" ]; do sleep 0.1; done
rm -f "$held"

said=$(QUORVANE_APT_RETRY_PAUSE=1 bash -c 'source scripts/common.sh; PACKAGES=(libogg0 libogg0:i386); install_packages' 2>&1) ||
    fails "the install stopped"
grep -q "Waiting for another apt" <<<"$said" || fails "no word of waiting for the other apt's lock"
grep -qx "The mirror's half index for i386 could not be read (file:$repo; see .*): going on without it." <<<"$said" ||
    fails "no line naming the unreadable index"
grep -q "^Installing with half held back" <<<"$said" || fails "no line naming the suite held back"
read -r amd64 i386 <<<"$(dpkg-query -W -f='${Version} ' libogg0:amd64 libogg0:i386)"
[ "$amd64" = "$i386" ] && [ "$amd64" != 99:1 ] || fails "libogg0 is not of the release's one version for both: $amd64, $i386"

# No Wine here: that is a failed install to be named, not a kernel that refuses 32-bit programs.
handler=/proc/sys/fs/binfmt_misc/qemu-i386 had_handler=$([ -e /proc/sys/fs/binfmt_misc/qemu-i386 ] && echo yes || true)
! said=$(bash -c 'source scripts/common.sh; setup_i386' 2>&1) || fails "setup_i386 passed without Wine"
grep -q "is not installed" <<<"$said" && ! grep -q "cannot run here" <<<"$said" || fails "a missing Wine taken for something else"
[ ! -e /etc/apt/sources.list.d/quorvane-backports.sources ] || fails "a backports source left behind"
[ -n "$had_handler" ] || [ ! -e "$handler" ] || fails "a qemu-i386 handler left registered"
