# shellcheck shell=bash
# What the commands (and the set-up's tests) share, sourced first: where the checkout and the
# build are, and one file of functions for each concern. Sourced, not run.
set -euo pipefail

QUORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$QUORVANE_ROOT/build}

# In an MSYS2 shell on Windows the shell's own compilers build and programs run natively;
# elsewhere the mingw-w64 cross toolchain builds and Wine runs.
case "$(uname -s)" in
MINGW* | MSYS* | CYGWIN*) NATIVE_WINDOWS=1 ;;
*) NATIVE_WINDOWS="" ;;
esac

# shellcheck source=scripts/lib/packages.sh
source "$QUORVANE_ROOT/scripts/lib/packages.sh"  # the packages, and apt as the commands use it
# shellcheck source=scripts/lib/i386.sh
source "$QUORVANE_ROOT/scripts/lib/i386.sh"      # 32-bit programs, natively or emulated
# shellcheck source=scripts/lib/build.sh
source "$QUORVANE_ROOT/scripts/lib/build.sh"     # the builds and the release
# shellcheck source=scripts/lib/wine.sh
source "$QUORVANE_ROOT/scripts/lib/wine.sh"      # Wine sessions on private displays
# shellcheck source=scripts/lib/checks.sh
source "$QUORVANE_ROOT/scripts/lib/checks.sh"    # the static checks
