#!/usr/bin/env bash
# Builds Quorvane.exe and starts it: natively on Windows, under Wine elsewhere. With a
# display the window opens there; without one it runs on a private X display, and this
# command saves a screenshot of the window, closes it and prints the screenshot's path.
source "$(dirname "$0")/common.sh"
install_packages
setup_i386
build --target Quorvane
exe=$BUILD_DIR/bin/Quorvane.exe

[ -z "$NATIVE_WINDOWS" ] || exec "$exe"

if [ -n "${DISPLAY:-}" ]; then
    # A prefix of its own, kept between runs so that the remembered folders stay.
    export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-quorvane} WINEARCH=win32 WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -d "$WINEPREFIX/drive_c" ]; then
        wine wineboot -i </dev/null >/dev/null 2>&1
        cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
    exec wine "$exe"
fi

start_private_wine
wine "$exe" </dev/null >/dev/null 2>&1 &
window=""
for _ in $(seq 200); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Ostrafel Frontend 1.2"/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.05
done
[ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
shot=$BUILD_DIR/screenshot.png
# The window is in X's tree a moment before it can be read (import fails meanwhile), and is
# painted once it shows: take shots until two in a row agree, for up to 20 s.
previous="" deadline=$((SECONDS + 20))
while :; do
    current=""
    if error=$(import -display "$DISPLAY" -window "$window" "$shot" 2>&1); then
        current=$(md5sum <"$shot")
        [ "$current" = "$previous" ] && break
    fi
    [ "$SECONDS" -lt "$deadline" ] || break
    previous=$current
    sleep 0.05
done
[ -n "$current" ] || { echo "The window could not be read: $error" >&2; exit 1; }
echo "$shot"
