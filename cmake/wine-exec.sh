#!/bin/sh
# Runs a cross-built Windows program under Wine for CTest. The prefix and display are
# inherited from the caller (scripts/test.sh makes a fresh prefix for every run).
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
