#!/usr/bin/env bash
# Builds everything and runs every test (unit tests, then end-to-end tests) under Wine,
# in a fresh prefix on a private X display. Extra arguments go to ctest (e.g. -R Strip).
source "$(dirname "$0")/common.sh"
install_packages
build
start_private_wine
status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 120 "$@" || status=$?
exit $status
