#!/usr/bin/env bash
# Builds Quorvane.exe as the test command does, in the same build folder, and packs it for
# Windows users: build/release/Quorvane-<version>-win32.zip (Quorvane.exe, README.txt,
# LICENSE.txt) and build/release/SHA256SUMS. Prints the two paths.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
install_packages "${RELEASE_PACKAGES[@]}"
build --target Quorvane
make_release
