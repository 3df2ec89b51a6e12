#!/usr/bin/env bash
# A package mirror between two syncs, made at will in a fresh root: a local suite offers a
# newer amd64 build of a Multi-Arch: same library (libogg0), its lists read once for amd64
# alone as a machine image's are, and then its i386 index stops matching its Release. The
# set-up must still install the library for both architectures, of one version, naming the
# suite it held back, and wait out another apt's lock on the way; and a root without Wine must
# not be taken for one on a kernel that refuses 32-bit programs.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"
in_fresh_root "$@"

repo=/srv/half-synced
local_suite "$repo" half "$(stanza libogg0 99:1 amd64 'Multi-Arch: same\n')" "$(stanza probe 1 i386)"
echo "deb [trusted=yes] file:$repo half main" >/etc/apt/sources.list.d/half-synced.list
apt-get update -q >/dev/null  # for amd64 alone, as an image's lists are
echo "X-Changed: after the Release" >>"$repo/dists/half/main/binary-i386/Packages"
# Another apt holding the lists' lock for a few seconds, as a fresh machine's first update does.
lock_held=$(mktemp)
python3 -c 'import fcntl, time; f = open("/var/lib/apt/lists/lock", "w"); fcntl.lockf(f, fcntl.LOCK_EX); print("held", flush=True); time.sleep(6)' >"$lock_held" &
until [ -s "$lock_held" ]; do sleep 0.1; done
rm -f "$lock_held"

said=$(QUORVANE_APT_RETRY_PAUSE=1 bash -c 'source scripts/common.sh; install_packages libogg0 libogg0:i386' 2>&1) ||
    fails "the install stopped"
grep -q "Waiting for another apt" <<<"$said" || fails "no word of waiting for the other apt's lock"
grep -qx "The mirror's half index for i386 could not be read (file:$repo; see .*): going on without it." <<<"$said" ||
    fails "no line naming the unreadable index"
grep -q "^Installing with half held back" <<<"$said" || fails "no line naming the suite held back"
read -r amd64 i386 <<<"$(dpkg-query -W -f='${Version} ' libogg0:amd64 libogg0:i386)"
[ "$amd64" = "$i386" ] && [ "$amd64" != 99:1 ] || fails "libogg0 is not of the release's one version for both: $amd64, $i386"

# No Wine here: a failed install to be named, touching no handler (in_fresh_root checks them).
! said=$(bash -c 'source scripts/common.sh; setup_i386' 2>&1) || fails "setup_i386 passed without Wine"
grep -q "is not installed" <<<"$said" && ! grep -q "cannot run here" <<<"$said" || fails "a missing Wine taken for something else"
[ ! -e /etc/apt/sources.list.d/quorvane-backports.sources ] || fails "a backports source left behind"
