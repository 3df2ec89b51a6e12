#!/usr/bin/env bash
# An install that fails while a suite's index for another architecture could not be read is
# tried again with that suite held back, whichever words apt fails in: apt 2's unmet
# dependencies, the "generated breaks" that a real half-synced mirror gave, apt 3's. On the
# machine, with apt itself stood in for: it fails unless a suite is held back.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"

apt_get() {
    APT_OUTPUT=$words
    [[ $* == *Dir::Etc::Preferences=* ]]
}
UNREADABLE_INDEXES=("stable-security i386 http://mirror.invalid/debian-security")
for words in "The following packages have unmet dependencies:" \
    "E: Error, pkgProblemResolver::Resolve generated breaks, this may be caused by held packages." \
    "Unsatisfied dependencies:"; do
    said=$(apt_install wine32:i386 2>&1) && grep -q "^Installing with stable-security held back" <<<"$said" ||
        fails "no hold-back after: $words"
done
