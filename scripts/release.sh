#!/usr/bin/env bash
# Builds Quorvane.exe as the test command does, in the same build folder, and packs it for
# Windows users: build/release/Quorvane-<version>-win32.zip (Quorvane.exe, README.txt,
# LICENSE.txt) and build/release/SHA256SUMS. Prints the two paths.
source "$(dirname "$0")/common.sh"
install_packages
build --target Quorvane
make_release
