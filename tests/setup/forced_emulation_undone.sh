#!/usr/bin/env bash
# A handler that a run with QUORVANE_I386=emulated left goes with the next run without it, where
# the kernel runs 32-bit programs itself, so that such a machine does not stay emulated. On the
# machine itself: its handlers are its own.
# shellcheck source=tests/setup/lib.sh
source "$(dirname "$0")/lib.sh"
install_packages "${WINE_PACKAGES[@]}" >/dev/null

if [ "$(i386_probe kernel)" != natively ]; then
    echo "Not tried: this machine's kernel refuses 32-bit programs, so a handler is what runs them. Tried instead: a run keeps it."
    setup_i386 >/dev/null
    before=$(machine_handlers)
    said=$(setup_i386 2>&1) || fails "the set-up failed"
    [ "$(machine_handlers)" = "$before" ] || fails "the handlers changed"
    exit 0
fi
said=$(QUORVANE_I386=emulated setup_i386 2>&1) && i386_handler_is_ours || fails "the forced run registered no handler"
said=$(setup_i386 2>&1) || fails "the set-up failed"
[ "$said" = "32-bit programs run natively." ] && [ ! -e "$I386_HANDLER" ] || fails "the handler stayed"
