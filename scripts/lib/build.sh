# shellcheck shell=bash
# The builds (gcc, and the program alone by clang), the release, and the tests that CTest's
# arguments choose.

# The configurations are the presets in CMakePresets.json; BUILD_DIR may move the build.
# Arguments go to the build step (e.g. --target Quorvane); CONFIGURE_ARGS to the first.
CONFIGURE_ARGS=()
build() {
    local preset=mingw-gcc args=()
    [ -z "$NATIVE_WINDOWS" ] || preset=windows-native
    [ -z "${GTEST_SOURCE_DIR:-}" ] || args+=(-DGTEST_SOURCE_DIR="$GTEST_SOURCE_DIR")
    (cd "$QUORVANE_ROOT" && cmake --preset "$preset" -B "$BUILD_DIR" "${args[@]}" "${CONFIGURE_ARGS[@]}") >/dev/null
    cmake --build "$BUILD_DIR" -j "$(nproc)" "$@"
}

# The release, from the build's own bin/Quorvane.exe: $RELEASE_DIR/Quorvane-<version>-win32.zip
# and SHA256SUMS. The files in the zip bear the time of the last commit (or SOURCE_DATE_EPOCH),
# so that the same source gives the same bytes at any hour.
RELEASE_DIR=$BUILD_DIR/release
make_release() {
    local epoch=${SOURCE_DATE_EPOCH:-}
    if [ -z "$epoch" ] && [ -e "$QUORVANE_ROOT/.git" ]; then
        epoch=$(git -C "$QUORVANE_ROOT" log -1 --format=%ct 2>/dev/null || true)
    fi
    python3 "$QUORVANE_ROOT/tools/make_release.py" "$QUORVANE_ROOT/res/resource.h" \
        "$BUILD_DIR/bin/Quorvane.exe" "$QUORVANE_ROOT/docs/README.txt" "$QUORVANE_ROOT/LICENSE" \
        "$RELEASE_DIR" ${epoch:+"$epoch"}
}

# The program alone, built a second time by clang and lld, for the end-to-end tests.
CLANG_BUILD_DIR=$BUILD_DIR/clang
build_clang_program() {
    (cd "$QUORVANE_ROOT" && cmake --preset mingw-clang -B "$CLANG_BUILD_DIR") >/dev/null
    cmake --build "$CLANG_BUILD_DIR" -j "$(nproc)" --target Quorvane
}

# Whether CTest's arguments ($@) choose tests: a filter by name, label or number.
chooses_tests() {
    local arg
    for arg in "$@"; do
        case $arg in
        -R | -E | -L | -LE | -I | --tests-regex | --exclude-regex | --label-regex | --label-exclude | \
            --tests-information | --tests-from-file | --exclude-from-file) return 0 ;;
        esac
    done
    return 1
}

# The names of the tests that CTest's arguments ($@) choose, one a line. CTest lists the
# end-to-end tests by asking their programs, under Wine, when a program is newer than its list.
chosen_tests() {
    ctest --test-dir "$BUILD_DIR" -N "$@" 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: //p' || true
}
