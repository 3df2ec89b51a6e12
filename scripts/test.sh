#!/usr/bin/env bash
# Builds everything, checks the code (its format with clang-format, the program's sources with
# clang-tidy), packs the release as scripts/release.sh does, and runs every test (unit tests,
# then end-to-end tests) under Wine, in a fresh prefix on a private X display; the
# window-manager tests in a second prefix, on a display of their own with openbox. Extra
# arguments go to ctest (e.g. -R Strip).
# Under Wine the end-to-end tests run a second time ("Clang.*") against a clang build of
# the program; the unit tests are built by gcc only.
source "$(dirname "$0")/common.sh"
install_packages
setup_i386
[ -n "$NATIVE_WINDOWS" ] || echo "Testing on Debian $(cat /etc/debian_version) ($(debian_codename)) with $(wine --version)."
status=0
if [ -z "$NATIVE_WINDOWS" ]; then
    build_clang_program
    CONFIGURE_ARGS=(-DQUORVANE_CLANG_EXE="$CLANG_BUILD_DIR/bin/Quorvane.exe")
    # The code's format and analysis; the tests still run after a finding, and the command fails.
    check_code || status=$?
fi
build
# The release as scripts/release.sh makes it, so that CI makes it too and a test checks it.
make_release >/dev/null
if [ -z "$NATIVE_WINDOWS" ]; then
    # Each prefix keeps its desktop in use through the run (see start_keeper).
    start_private_wine "$BUILD_DIR/bin/keep_desktop.exe"
    start_144dpi_wine "$BUILD_DIR/bin/keep_desktop.exe"
    start_wm_wine "$BUILD_DIR/bin/keep_desktop.exe"
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error --timeout 120 "$@" || status=$?
exit $status
