#!/bin/sh
# Runs a cross-built Windows program under Wine for CTest. The prefix and display are
# inherited from the caller (scripts/test.sh makes fresh prefixes for every run).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
# The suites of a screen at 150 % run in the prefix whose session started at 144 DPI.
case "$*" in
*--gtest_filter=*At144Dpi.*) export WINEPREFIX="${QUORVANE_144DPI_PREFIX:-$WINEPREFIX}" ;;
esac
exec wine "$@"
