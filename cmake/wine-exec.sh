#!/bin/sh
# Runs a cross-built Windows program under Wine for CTest. The prefix, display and Wine's
# settings are inherited from the caller (scripts/test.sh starts a fresh session for every run).
# The suites of a screen at 150 % run in the prefix whose session started at 144 DPI.
case "$*" in
*--gtest_filter=*At144Dpi.*) export WINEPREFIX="${QUORVANE_144DPI_PREFIX:-$WINEPREFIX}" ;;
esac
exec wine "$@"
