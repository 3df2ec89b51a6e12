#!/usr/bin/env bash
# An install that would remove a package of the machine's does not happen, neither the first
# try nor the one with a suite held back: the command names apt's reason in one line and stops,
# and the package stays. The suite's i386 index is unreadable, so that both tries are made.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"
in_fresh_root "$@"

repo=/srv/conflicts
package() {  # a package of nothing, with the control lines given, in the repository's pool
    mkdir -p "/tmp/$1/DEBIAN" "$repo/pool"
    printf 'Package: %s\nVersion: 1\nArchitecture: all\nMaintainer: Tests <tests@invalid>\nDescription: stand-in\n%s' "$1" "${2:-}" >"/tmp/$1/DEBIAN/control"
    dpkg-deb -b "/tmp/$1" "$repo/pool/$1.deb" >/dev/null
}
package kept
package remover "Conflicts: kept"$'\n'
dpkg -i "$repo/pool/kept.deb" >/dev/null
local_suite "$repo" conflicts "$(dpkg-deb -f "$repo/pool/remover.deb")
Filename: pool/remover.deb
Size: $(stat -c %s "$repo/pool/remover.deb")
SHA256: $(sha256sum <"$repo/pool/remover.deb" | cut -d' ' -f1)" "$(stanza probe 1 i386)"
only_source "$repo" conflicts
apt-get update -q >/dev/null  # for amd64 alone, as an image's lists are
dpkg --add-architecture i386
echo "X-Changed: after the Release" >>"$repo/dists/conflicts/main/binary-i386/Packages"
! said=$(QUORVANE_APT_RETRY_PAUSE=0 bash -c 'source scripts/common.sh; install_missing remover' 2>&1) || fails "remover installed"
dpkg-query -W -f='${db:Status-Status}' kept | grep -qx installed || fails "kept was removed"
grep -q "^Installing with conflicts held back" <<<"$said" || fails "no second try with the suite held back"
grep -q "^apt could not install what this command needs: " <<<"$said" || fails "no line naming apt's reason"
