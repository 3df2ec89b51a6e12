#!/usr/bin/env bash
# An install that would remove a package of the machine's does not happen: the command names
# apt's reason in one line and stops, and the package stays.
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
SHA256: $(sha256sum <"$repo/pool/remover.deb" | cut -d' ' -f1)" ""
only_source "$repo" conflicts
! said=$(bash -c 'source scripts/common.sh; install_missing remover' 2>&1) || fails "remover installed"
dpkg-query -W -f='${db:Status-Status}' kept | grep -qx installed || fails "kept was removed"
grep -q "^apt could not install what this command needs: " <<<"$said" || fails "no line naming apt's reason"
