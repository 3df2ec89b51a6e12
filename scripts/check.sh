#!/usr/bin/env bash
# Every static check, each run whatever the others find: the C++ code's format (clang-format),
# the program's sources analysed (clang-tidy, through its clang build), the shell scripts
# (shellcheck) and the docs against the tree (tools/check_docs.py). Fails on any finding. The
# test command runs it first.
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
install_packages "${CHECK_PACKAGES[@]}"
if [ -n "$NATIVE_WINDOWS" ]; then
    echo "On Windows only the docs are checked: the rest needs the clang cross build, on Debian."
    check_docs
    exit
fi
status=0
check_format || status=1
build_clang_program >/dev/null
check_tidy || status=1
check_shell || status=1
check_docs || status=1
exit $status
