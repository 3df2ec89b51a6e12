#!/usr/bin/env bash
# Builds everything and runs every test (unit tests, then end-to-end tests) under Wine,
# in a fresh prefix on a private X display; the window-manager tests in a second prefix, on
# a display of their own with openbox. Extra arguments go to ctest (e.g. -R Strip).
source "$(dirname "$0")/common.sh"
install_packages
build
# Each prefix keeps its desktop in use through the run (see start_keeper).
start_private_wine "$BUILD_DIR/bin/keep_desktop.exe"
start_wm_wine "$BUILD_DIR/bin/keep_desktop.exe"
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 120 "$@" || status=$?
exit $status
