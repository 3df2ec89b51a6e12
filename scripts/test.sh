#!/usr/bin/env bash
# The test command; arguments go to CTest (e.g. -R Strip).
# Without a filter, what CI runs: every static check (scripts/check.sh), every build (gcc, and
# the program again by clang for the "Clang.*" copies of the end-to-end tests), the release
# packed as scripts/release.sh packs it, and every test under Wine, in fresh prefixes on private
# X displays, removed at the end.
# With a filter (an argument that chooses tests, such as -R), no static check, and only what the
# chosen tests need: the gcc build and the tests' own Wine session; the clang build for Clang.*
# tests, the release for Release.*, the 144-DPI session for the *At144Dpi suites, the window
# manager's for WindowManager.*. With QUORVANE_KEEP_WINE=1 its Wine sessions are kept, and
# taken again by the next filtered run; scripts/end-wine.sh ends them.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
install_packages "${TEST_PACKAGES[@]}"
setup_i386
[ -n "$NATIVE_WINDOWS" ] || echo "Testing on Debian $(cat /etc/debian_version) ($(debian_codename)) with $(wine --version)."
[ -n "$NATIVE_WINDOWS" ] || CONFIGURE_ARGS=(-DQUORVANE_CLANG_EXE="$CLANG_BUILD_DIR/bin/Quorvane.exe")
keeper=$BUILD_DIR/bin/keep_desktop.exe
status=0
if ! chooses_tests "$@"; then
    # A finding fails the command once the tests have run.
    bash "$QUORVANE_ROOT/scripts/check.sh" || status=$?
    [ -n "$NATIVE_WINDOWS" ] || build_clang_program
    build
    make_release >/dev/null
    if [ -z "$NATIVE_WINDOWS" ]; then
        for kind in private 144dpi wm; do wine_session "$kind" "$keeper"; done
    fi
else
    KEEP_WINE=${QUORVANE_KEEP_WINE:-}
    build
    # The tests' own session first: CTest may list the end-to-end tests in it.
    [ -n "$NATIVE_WINDOWS" ] || wine_session private "$keeper"
    chosen=$(chosen_tests "$@")
    if [ -z "$NATIVE_WINDOWS" ]; then
        ! grep -q '^Clang\.' <<<"$chosen" || build_clang_program
        ! grep -q 'At144Dpi\.' <<<"$chosen" || wine_session 144dpi "$keeper"
        ! grep -q '^WindowManager\.' <<<"$chosen" || wine_session wm "$keeper"
    fi
    ! grep -q '^Release\.' <<<"$chosen" || make_release >/dev/null
fi
ctest --test-dir "$BUILD_DIR" --output-on-failure --no-tests=error --timeout 120 "$@" || status=$?
exit $status
