#!/usr/bin/env bash
# Runs the test command on the other supported Debian release than this machine's (12
# "bookworm" and 13 "trixie"), as a new user of that release would: in a fresh root of it
# (scripts/lib/roots.sh), on a fresh clone of this checkout's commit. .ci/run runs it after the
# test command, so that a change passes only if it passes on both releases. Arguments go to
# ctest, as with the test command.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
[ -z "$NATIVE_WINDOWS" ] || { echo "The other Debian release is tried on Debian only."; exit 0; }
[ "$(id -u)" = 0 ] || { echo "The other Debian release needs root (debootstrap, chroot)." >&2; exit 1; }
# shellcheck source=scripts/lib/roots.sh
source "$QUORVANE_ROOT/scripts/lib/roots.sh"
other_release
[ -n "$OTHER" ] || { echo "Debian '$(debian_codename)' is neither 12 nor 13: no other release to test beside it."; exit 0; }
# The root runs 32-bit programs the machine's way: set up here first, as the test command does.
install_packages "${WINE_PACKAGES[@]}"
setup_i386 >/dev/null

fresh_root "$OTHER"
clone_into_root
watch_handlers
echo "The test command again, on Debian $OTHER_NUMBER ($OTHER), in a fresh root of it ($ROOT):"
inside bash -c 'source scripts/common.sh; install_packages "${TEST_PACKAGES[@]}"'
# Where this machine emulates 32-bit programs, the other release's Wine may not run that way:
# then say so, and leave the machine's own release as the only one tested.
status=0
if [[ $I386_WAY == emulated* ]] && ! why=$(inside bash -c 'source scripts/common.sh; setup_i386' 2>&1); then
    echo "Debian $OTHER_NUMBER's Wine does not run with 32-bit programs emulated here ($(printf '%s' "$why" | tail -n 1)): only Debian $(cat /etc/debian_version) was tested."
else
    inside bash scripts/test.sh "$@" || status=$?
fi
handlers_unchanged || status=1
exit $status
