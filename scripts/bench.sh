#!/usr/bin/env bash
# Measures Quorvane under Wine against two floors, the window floor (the same window with what
# it must show and do) and a bare Win32 window, in a fresh prefix on a private X display, and
# prints one markdown table ready for the README. A benchmark, not a test: it
# exits 0 whatever the figures, and non-zero only when it could not measure at all.
#
#   scripts/bench.sh [start runs, default 45] [click runs, default 15]
# (or BENCH_START_RUNS / BENCH_CLICK_RUNS in the environment).
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
START_RUNS=${1:-${BENCH_START_RUNS:-45}}
CLICK_RUNS=${2:-${BENCH_CLICK_RUNS:-15}}

# Only the table goes to standard output, so that it can be redirected into a file.
install_packages "${BENCH_PACKAGES[@]}" >&2
setup_i386 >&2
build --target Quorvane kx_double keep_desktop >&2
cmake --build "$BUILD_DIR" -j "$(nproc)" --target bare_window window_floor bench_driver >&2
# A desktop that outlives each program, as Windows always has one: without the keeper, Wine
# may take the desktop down as the program's window closes, under the tool that is starting.
start_private_wine "$BUILD_DIR/bin/keep_desktop.exe"

BIN=$BUILD_DIR/bin
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) CPUs (${cpu:-unknown model}), $(wine --version)" \
    "with its 32-bit programs $I386_WAY," \
    "private Xvfb: $START_RUNS start runs of each program interleaved, $CLICK_RUNS click runs."
echo
status=0
# The C runtime writes CRLF to a pipe; the table keeps Unix line ends like the rows after it.
QUORVANE_I386_WAY=$I386_WAY wine "$BIN/bench_driver.exe" "$(winepath -w "$BIN")" "$START_RUNS" "$CLICK_RUNS" </dev/null | tr -d '\r' ||
    status=$?
python3 "$QUORVANE_ROOT/bench/image_rows.py" "$BIN/Quorvane.exe" "$BIN/window_floor.exe" "$BIN/bare_window.exe" ||
    status=$?
exit $status
