# Shared by the run, test and benchmark commands: installs what is missing, builds,
# and makes a private Wine prefix on a private X display. Sourced, not run.
set -euo pipefail

QUORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$QUORVANE_ROOT/build}

PACKAGES=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
    mingw-w64-i686-dev googletest wine wine32:i386 xvfb xauth x11-utils fonts-wine
    imagemagick python3 python3-pil clang lld)
PACKAGES+=(clang-format clang-tidy)  # the code's format and static analysis
PACKAGES+=(openbox xdotool wmctrl)  # the window-manager tests
PACKAGES+=(python3-xlib)  # the drop source of the drop tests

# In an MSYS2 shell on Windows the shell's own compilers build and programs run natively;
# elsewhere the mingw-w64 cross toolchain builds and Wine runs.
case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*) NATIVE_WINDOWS=1 ;;
*) NATIVE_WINDOWS="" ;;
esac

install_packages() {
    if [ -n "$NATIVE_WINDOWS" ] || ! command -v dpkg >/dev/null; then return 0; fi
    local missing=() p
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}

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

# A fresh prefix and display for this run only; cleanup ends what was started here.
WINE_TMP=""
XVFB_PID=""
WM_XVFB_PID=""
WM_PID=""
cleanup_wine() {
    if [ -n "${QUORVANE_WM_PREFIX:-}" ]; then
        WINEPREFIX=$QUORVANE_WM_PREFIX wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$QUORVANE_WM_PREFIX wineserver -w >/dev/null 2>&1 || true
    fi
    [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
    [ -n "$WM_XVFB_PID" ] && kill "$WM_XVFB_PID" 2>/dev/null || true
    if [ -n "$WINE_TMP" ]; then
        WINEPREFIX=$WINE_TMP/prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$WINE_TMP/prefix wineserver -w >/dev/null 2>&1 || true
        rm -rf "$WINE_TMP"
    fi
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
}

start_private_display() {
    local fdfile=$WINE_TMP/display
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    XVFB_PID=$!
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    export DISPLAY=":$(head -n1 "$fdfile")"
}

# An optional argument names a program to keep running in the prefix (see start_keeper).
start_private_wine() {
    WINE_TMP=$(mktemp -d /tmp/quorvane-wine.XXXXXX)
    trap cleanup_wine EXIT
    start_private_display
    export WINEPREFIX=$WINE_TMP/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    # Wine's background processes start here, not inside a test: they would hold CTest's pipes.
    mkdir -p "$WINEPREFIX"
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot -i </dev/null >/dev/null 2>&1
    # Wine 8 as Debian packs it looks for its own fonts (MS Sans Serif, Marlett, Tahoma)
    # only in the prefix's Fonts folder, where Windows keeps them; put them there.
    cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Without a window manager every window close waits 2 s for one.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # As on Windows by default, a window takes each size while its border is dragged.
    wine reg add 'HKCU\Control Panel\Desktop' /v DragFullWindows /d 1 /f </dev/null >/dev/null 2>&1
    start_keeper "${1:-}"
}

# Wine ends a prefix's desktop process a few seconds after the last program using it, and
# the next program starts a new one: inside a test, where it holds CTest's output open. A
# program kept running from right after the prefix is made keeps the first one alive.
start_keeper() {
    [ -n "$1" ] && [ -f "$1" ] || return 0
    wine "$1" </dev/null >/dev/null 2>&1 &
}

# For the window-manager tests (after start_private_wine): a second private display with
# openbox managing it, and a second prefix that keeps Wine's default managed windows, so
# that the manager draws the frames and sizes the windows as on a desktop. The tests reach
# them through QUORVANE_WM_DISPLAY and QUORVANE_WM_PREFIX. An optional argument as above.
start_wm_wine() {
    local fdfile=$WINE_TMP/wm-display i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
    WM_XVFB_PID=$!
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.05
    done
    export QUORVANE_WM_DISPLAY=":$(head -n1 "$fdfile")" QUORVANE_WM_PREFIX=$WINE_TMP/wm-prefix
    DISPLAY=$QUORVANE_WM_DISPLAY openbox </dev/null >/dev/null 2>&1 &
    WM_PID=$!
    mkdir -p "$QUORVANE_WM_PREFIX"
    DISPLAY=$QUORVANE_WM_DISPLAY WINEPREFIX=$QUORVANE_WM_PREFIX wineserver -p </dev/null >/dev/null 2>&1
    DISPLAY=$QUORVANE_WM_DISPLAY WINEPREFIX=$QUORVANE_WM_PREFIX wine wineboot -i </dev/null >/dev/null 2>&1
    cp -n /usr/share/wine/fonts/* "$QUORVANE_WM_PREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    DISPLAY=$QUORVANE_WM_DISPLAY WINEPREFIX=$QUORVANE_WM_PREFIX start_keeper "${1:-}"
    for i in $(seq 100); do
        DISPLAY=$QUORVANE_WM_DISPLAY wmctrl -m >/dev/null 2>&1 && break
        sleep 0.05
    done
}
