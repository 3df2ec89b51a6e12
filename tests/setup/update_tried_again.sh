#!/usr/bin/env bash
# A mirror that serves an index whole again a while after apt's first try: the update is tried
# again after a pause and reads it, with no word of an unreadable index. The index heals 3 s
# after the first failure and the pause is 5 s, so tries made without the pause all fail.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"
in_fresh_root "$@"

repo=/srv/heals index=/srv/heals/dists/heals/main/binary-i386/Packages
dpkg --add-architecture i386
local_suite "$repo" heals "$(stanza probe 1 amd64)" "$(stanza probe 1 i386)"
only_source "$repo" heals
cp "$index" /tmp/whole
echo "X-Changed: after the Release" >>"$index"
# Whole again 3 s after apt's log shows the first try failed.
(for _ in $(seq 300); do grep -qs 'apt-get update (exit 100)' "$APT_LOG" && sleep 3 && exec cp /tmp/whole "$index"; sleep 0.1; done) &
healer=$!
said=$(QUORVANE_APT_RETRY_PAUSE=5 bash -c 'source scripts/common.sh; apt_update' 2>&1) || fails "the update failed"
kill "$healer" 2>/dev/null || true
[ -z "$said" ] || fails "the update said something"
[ "$(grep -c '^=== .* apt-get update ' "$APT_LOG")" = 2 ] || fails "not read on the second try"
