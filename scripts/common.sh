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

source "$QUORVANE_ROOT/scripts/apt.sh"

install_packages() {
    if [ -n "$NATIVE_WINDOWS" ] || ! command -v dpkg >/dev/null; then return 0; fi
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    install_missing "${PACKAGES[@]}"
}

# 32-bit programs (Wine's own i386 side and the program) run natively where the kernel runs
# them. Where it does not (no 32-bit code segment at all), qemu's user-mode emulator runs them,
# registered with binfmt_misc for i386 programs; Debian 12's own qemu (7.2) cannot run Wine,
# the one from its backports suite (10) can. QUORVANE_I386=emulated takes the emulated way on
# any machine. Sets I386_WAY to a phrase saying which way was taken, and prints it.
I386_HANDLER=/proc/sys/fs/binfmt_misc/qemu-i386
I386_PROGRAM=/usr/lib/wine/wine  # Wine's 32-bit loader: a 32-bit program to try
I386_WAY=""
QEMU=/usr/bin/qemu-i386

i386_fails() {
    echo "32-bit programs cannot run here: $1" >&2
    exit 1
}

i386_runs() { "$I386_PROGRAM" --version >/dev/null 2>&1; }

# Whether the kernel refuses 32-bit programs, asked of Wine's own 32-bit loader once the
# packages are in: only the kernel's "Exec format error" (exit status 126) says so. A loader
# that is missing, or that fails another way, is not a kernel that refuses it.
kernel_refuses_i386() {
    local status=0 said
    [ -x "$I386_PROGRAM" ] || {
        echo "Wine's 32-bit loader $I386_PROGRAM is not installed (package wine32:i386): the packages did not all install." >&2
        exit 1
    }
    said=$("$I386_PROGRAM" --version 2>&1 >/dev/null) || status=$?
    [ "$status" -ne 0 ] || return 1
    [ "$status" -eq 126 ] && [[ $said == *"Exec format error"* ]] && return 0
    echo "Wine's 32-bit loader fails (exit status $status): $(printf '%s' "$said" | head -n1)" >&2
    exit 1
}

# Fails only where a handler is registered and binfmt_misc would not let go of it.
drop_i386_handler() { [ ! -e "$I386_HANDLER" ] || { echo -1 >"$I386_HANDLER"; } 2>/dev/null; }

i386_handler_is_ours() {
    grep -qx enabled "$I386_HANDLER" 2>/dev/null && grep -qx "interpreter $QEMU" "$I386_HANDLER" &&
        grep -qx 'flags: OCF' "$I386_HANDLER"
}

qemu_version() { { "$QEMU" --version 2>/dev/null || true; } | sed -n '1s/^qemu-i386 version \([0-9.]*\).*/\1/p'; }

# The machine's Debian release by its code name, and the mirror its own apt source names for it.
debian_codename() { (. /etc/os-release && echo "${VERSION_CODENAME:-}"); }
debian_mirror() {
    apt-get indextargets --format '$(RELEASE) $(COMPONENT) $(REPO_URI)' 2>/dev/null |
        awk -v suite="$1" '$1 == suite && $2 == "main" { print $3; exit }'
}

# qemu's user-mode emulators (static binaries, package qemu-user since qemu 9) from the
# backports suite of the machine's release, at the mirror that the machine's own Debian source
# names; the release's own where backports has none. For the machine's own architecture, named:
# with i386 added, apt may otherwise pick the i386 build, which needs the very emulator it is.
install_qemu() {
    local codename mirror list=/etc/apt/sources.list.d/quorvane-backports.sources
    codename=$(debian_codename)
    mirror=$(debian_mirror "$codename")
    [ -n "$codename" ] && [ -n "$mirror" ] ||
        i386_fails "no Debian source for '$codename' main in apt's sources to take a mirror from."
    printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\n' "$mirror" "$codename" >"$list"
    local package
    package=qemu-user:$(dpkg --print-architecture)
    echo "Installing: $package from $codename-backports ($mirror)"
    # A source that did not give what it was added for is not left behind.
    if ! (apt_update && apt_install -t "$codename-backports" "$package"); then
        rm -f "$list"
        i386_fails "$package from $codename-backports did not install (see the line above)."
    fi
}

emulate_i386() {
    [ "$(id -u)" = 0 ] || i386_fails "emulating them needs root (binfmt_misc, packages): run this as root."
    if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
        mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
            i386_fails "this kernel has no binfmt_misc to hand them to an emulator; use another machine."
    fi
    local version
    version=$(qemu_version)
    [ "${version%%.*}" -ge 10 ] 2>/dev/null || install_qemu
    version=$(qemu_version)
    [ "${version%%.*}" -ge 10 ] 2>/dev/null || i386_fails "$QEMU is version '${version:-none}', and Wine needs 10 or later."
    # Wine's server reaches into its clients' memory through ptrace, which the emulator does
    # not pass on: the 64-bit server runs natively beside the emulated 32-bit side.
    if [ ! -x /usr/lib/wine/wineserver64 ]; then
        (install_missing wine64) ||
            i386_fails "wine64, whose server must run natively beside the emulator, did not install."
    fi
    # Already registered as below (another run set it up): left alone, so that a run going on
    # beside this one never finds its 32-bit programs without a handler.
    if ! i386_handler_is_ours; then
        drop_i386_handler || i386_fails "binfmt_misc would not let go of the handler $I386_HANDLER."
        # An ELF file for the 386, executable or shared; F: the kernel opens qemu once, now.
        { echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':OCF' \
            >/proc/sys/fs/binfmt_misc/register; } 2>/dev/null || i386_fails "binfmt_misc refused the handler for $QEMU."
    fi
    i386_runs || i386_fails "not even emulated by qemu-i386 $version: '$I386_PROGRAM --version' fails."
    I386_WAY="emulated by qemu-i386 $version"
}

setup_i386() {
    [ -z "$NATIVE_WINDOWS" ] || return 0
    case ${QUORVANE_I386:-} in
    "")
        # A handler that an emulated run left registered would emulate what this machine runs.
        drop_i386_handler || true
        if kernel_refuses_i386; then emulate_i386; else I386_WAY="natively"; fi
        ;;
    emulated) emulate_i386 ;;
    *) i386_fails "QUORVANE_I386 is '$QUORVANE_I386'; it may only be 'emulated', or unset." ;;
    esac
    echo "32-bit programs run $I386_WAY."
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
        local prefix
        for prefix in "$WINE_TMP"/prefix "$WINE_TMP"/prefix-144dpi; do
            [ -d "$prefix" ] || continue
            WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
            WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
        done
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
    make_unmanaged_prefix
    start_keeper "${1:-}"
}

# A prefix at $WINEPREFIX whose windows no window manager handles, its session running.
make_unmanaged_prefix() {
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
}

# For the tests of a screen at 150 % (suites named *At144Dpi, which cmake/wine-exec.sh sends
# there): a second unmanaged prefix, on the same display, whose session starts at 144 DPI.
# Wine 10, like Windows at sign-in, reads the scale only when a session starts: the scale is
# written, then the session is started again. An optional argument as above.
start_144dpi_wine() {
    export QUORVANE_144DPI_PREFIX=$WINE_TMP/prefix-144dpi
    (
        export WINEPREFIX=$QUORVANE_144DPI_PREFIX
        make_unmanaged_prefix
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>&1
        wineserver -k </dev/null >/dev/null 2>&1 || true
        wineserver -w </dev/null >/dev/null 2>&1 || true
        wineserver -p </dev/null >/dev/null 2>&1
        wine wineboot </dev/null >/dev/null 2>&1
        start_keeper "${1:-}"
    )
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
