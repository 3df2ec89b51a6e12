#!/usr/bin/env bash
# Ends the Wine sessions that filtered test runs kept (QUORVANE_KEEP_WINE=1): their Wine, X
# displays and window manager, by the process ids recorded when they started, and removes their
# prefixes. Ends nothing else.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
end_kept_wine
