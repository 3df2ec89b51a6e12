#!/usr/bin/env bash
# Builds Quorvane.exe and starts it: natively on Windows, under Wine elsewhere. With a
# display the window opens there; without one it runs on a private X display, and this
# command saves a screenshot of the window, closes it and prints the screenshot's path.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
install_packages "${RUN_PACKAGES[@]}"
setup_i386
build --target Quorvane
exe=$BUILD_DIR/bin/Quorvane.exe

[ -z "$NATIVE_WINDOWS" ] || exec "$exe"

if [ -n "${DISPLAY:-}" ]; then
    # A prefix of its own, kept between runs so that the remembered folders stay.
    export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-quorvane}
    [ -d "$WINEPREFIX/drive_c" ] || make_prefix "$WINEPREFIX" managed
    exec wine "$exe"
fi

start_private_wine
wine "$exe" </dev/null >/dev/null 2>&1 &
save_window_picture "Ostrafel Frontend 1.2" "$BUILD_DIR/screenshot.png"
echo "$BUILD_DIR/screenshot.png"
