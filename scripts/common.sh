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

source "$QUORVANE_ROOT/scripts/lib/packages.sh"  # the packages, and apt as the commands use it
source "$QUORVANE_ROOT/scripts/lib/i386.sh"      # 32-bit programs, natively or emulated
source "$QUORVANE_ROOT/scripts/lib/build.sh"     # the builds, the release and the code checks
source "$QUORVANE_ROOT/scripts/lib/wine.sh"      # Wine sessions on private displays
