#!/usr/bin/env bash
# A backports suite that has no qemu: the source added for it goes again, and the line says
# that qemu did not install.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"
in_fresh_root "$@"

repo=/srv/mirror codename=$(debian_codename)
local_suite "$repo" "$codename" "$(stanza probe 1 amd64)" ""
local_suite "$repo" "$codename-backports" "$(stanza probe 1 amd64)" ""
only_source "$repo" "$codename"
# The source that the set-up adds is not marked trusted, and this repository is not signed.
printf 'Acquire::AllowInsecureRepositories "true";\nAPT::Get::AllowUnauthenticated "true";\n' >/etc/apt/apt.conf.d/90unsigned
apt-get update -q >/dev/null
! said=$(QUORVANE_APT_RETRY_PAUSE=1 bash -c 'source scripts/common.sh; install_qemu' 2>&1) || fails "qemu installed"
grep -q "qemu-user:amd64 from $codename-backports did not install" <<<"$said" || fails "no line saying so"
[ ! -e /etc/apt/sources.list.d/quorvane-backports.sources ] || fails "the backports source was left behind"
