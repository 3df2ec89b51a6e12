#!/bin/sh
# Runs a window-manager test under Wine on the display and in the prefix that scripts/test.sh
# starts for these tests before CTest (openbox on the display, Wine's managed windows).
# Without them the tests run where they are, and fail for want of a window manager.
if [ -n "${QUORVANE_WM_DISPLAY:-}" ] && [ -n "${QUORVANE_WM_PREFIX:-}" ]; then
    export DISPLAY="$QUORVANE_WM_DISPLAY" WINEPREFIX="$QUORVANE_WM_PREFIX"
fi
exec "$(dirname "$0")/../../cmake/wine-exec.sh" "$@"
