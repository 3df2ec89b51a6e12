# The builds (gcc, and the program alone by clang), the release, and the code checks.

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

# The code as .clang-format and .clang-tidy want it: the format over all the C++ code, the
# analysis over the program's sources through the clang build's compile commands (so after
# build_clang_program). Prints each finding with its file and line; fails on any.
check_code() {
    local code sources findings status=0
    mapfile -t code < <(cd "$QUORVANE_ROOT" && find src tests bench res -name '*.cpp' -o -name '*.h' | sort)
    mapfile -t sources < <(printf '%s\n' "${code[@]}" | grep '^src/.*\.cpp$')
    (cd "$QUORVANE_ROOT" && clang-format --dry-run --Werror --style=file "${code[@]}") || {
        echo "Not in the house format (.clang-format): 'clang-format -i FILE' puts it right." >&2
        return 1
    }
    findings=$(cd "$QUORVANE_ROOT" && clang-tidy -p "$CLANG_BUILD_DIR" --quiet "${sources[@]}" 2>&1) || status=$?
    if [ "$status" -ne 0 ]; then
        printf '%s\n' "$findings" | grep -v -e '^[0-9]* warnings\? \(and [0-9]* errors\? \)\?generated\.$' >&2
        echo "clang-tidy (.clang-tidy) found the above in the program's sources." >&2
        return 1
    fi
    echo "Code checked: ${#code[@]} files in the house format, ${#sources[@]} sources without a finding."
}
