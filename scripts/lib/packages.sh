# shellcheck shell=bash
# The packages the commands need, and apt as they use it. A fresh machine is not always a tidy
# one: another apt may hold the package lock (the machine's own first updates), and a mirror
# between two syncs may serve an index that does not match its Release file. The commands wait
# for the lock, read what the mirror has, and install past one unreadable foreign index; what
# really failed is said in one line. Apt's own messages go to $APT_LOG, which those lines name.

# What each command installs, by what it does with them. The mingw-w64 cross compilers and
# CMake build the program; Wine with its 32-bit side runs it on a private X display.
BUILD_PACKAGES=(cmake make g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
    mingw-w64-i686-dev)
WINE_PACKAGES=(wine wine32:i386 xvfb fonts-wine)
# shellcheck disable=SC2034  # read by the commands that source this file
RUN_PACKAGES=("${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" x11-utils imagemagick)  # xwininfo, import: the screenshot
# shellcheck disable=SC2034  # read by the commands that source this file
RELEASE_PACKAGES=("${BUILD_PACKAGES[@]}" python3)  # tools/make_release.py packs the zip
# The format, the analysis (through the program's clang build), the shell scripts, the docs.
CHECK_PACKAGES=("${BUILD_PACKAGES[@]}" clang lld clang-format clang-tidy shellcheck python3)
# shellcheck disable=SC2034  # read by the commands that source this file
TEST_PACKAGES=("${CHECK_PACKAGES[@]}" "${WINE_PACKAGES[@]}" googletest x11-utils
    openbox xdotool wmctrl  # the window-manager tests
    python3-xlib)           # the drop source of the drop tests
# shellcheck disable=SC2034  # read by the commands that source this file
BENCH_PACKAGES=("${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" python3)  # bench/image_rows.py

# Installs those of the packages named that are missing, adding the i386 architecture to dpkg
# first where one of them is for it.
install_packages() {
    if [ -n "$NATIVE_WINDOWS" ] || ! command -v dpkg >/dev/null; then return 0; fi
    local names
    mapfile -t names < <(printf '%s\n' "$@" | awk '!seen[$0]++')
    if [[ " ${names[*]} " == *:i386\ * ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    install_missing "${names[@]}"
}

# The machine's Debian release by its code name, and the mirror its own apt source names for it.
debian_codename() { sed -n 's/^VERSION_CODENAME="\?\([^"]*\)"\?$/\1/p' /etc/os-release; }
debian_mirror() {
    apt-get indextargets --format '$(RELEASE) $(COMPONENT) $(REPO_URI)' 2>/dev/null |
        awk -v suite="$1" '$1 == suite && $2 == "main" { print $3; exit }'
}

APT_LOG=${QUORVANE_APT_LOG:-/var/log/quorvane-apt.log}
APT_LOCK_WAIT=${QUORVANE_APT_LOCK_WAIT:-300}  # seconds, at most, for another apt's lock
APT_OUTPUT=""
UNREADABLE_INDEXES=()  # "suite architecture repository" of each index the last update could not read

# apt-get with the arguments given, its messages appended to $APT_LOG and kept in $APT_OUTPUT.
# While another apt holds a lock, says so once, waits and tries again, up to $APT_LOCK_WAIT
# seconds in all (apt's own lock timeout would wait for the install's lock only, not the
# update's, and silently).
apt_get() {
    local deadline=$((SECONDS + APT_LOCK_WAIT)) status said=""
    while :; do
        status=0
        APT_OUTPUT=$(LC_ALL=C DEBIAN_FRONTEND=noninteractive apt-get -q "$@" </dev/null 2>&1) || status=$?
        { printf '=== %s apt-get %s (exit %s)\n' "$(date -u '+%F %T')" "$*" "$status" && printf '%s\n' "$APT_OUTPUT"; } \
            >>"$APT_LOG" 2>/dev/null || true
        [ "$status" -ne 0 ] && grep -q 'Could not get lock' <<<"$APT_OUTPUT" && [ "$SECONDS" -lt "$deadline" ] || return "$status"
        [ -n "$said" ] || echo "Waiting for another apt to let go of its lock ($(sed -n 's/.*\(held by process [0-9]* ([^)]*)\).*/\1/p' <<<"$APT_OUTPUT" | head -n1)), at most ${APT_LOCK_WAIT} s."
        said=1
        sleep 3
    done
}

# Reads the package lists. A mirror between two syncs may fail an index for a while: tried
# three times, then each index still unreadable is named in one line, and the command goes on
# with the indexes apt could read (apt keeps a failed repository's old lists, or has none).
apt_update() {
    local try pause=${QUORVANE_APT_RETRY_PAUSE:-10} line uri suite rest arch
    UNREADABLE_INDEXES=()
    for try in 1 2 3; do
        apt_get update && return 0
        [ "$try" -eq 3 ] || sleep "$pause"
    done
    # "E: Failed to fetch URI/dists/SUITE/main/binary-ARCH/Packages.xz  File has unexpected size ..."
    while read -r line; do
        [[ $line =~ ^[EW]:\ Failed\ to\ fetch\ ([^ ]*)/dists/([^/ ]*)/([^ ]*) ]] || continue
        uri=${BASH_REMATCH[1]} suite=${BASH_REMATCH[2]} rest=${BASH_REMATCH[3]} arch=all
        [[ $rest =~ binary-([^/]*)/ ]] && arch=${BASH_REMATCH[1]}
        UNREADABLE_INDEXES+=("$suite $arch $uri")
    done <<<"$APT_OUTPUT"
    mapfile -t UNREADABLE_INDEXES < <(printf '%s\n' "${UNREADABLE_INDEXES[@]}" | sed '/^$/d' | sort -u)
    for line in "${UNREADABLE_INDEXES[@]}"; do
        read -r suite arch uri <<<"$line"
        echo "The mirror's $suite index for $arch could not be read ($uri; see $APT_LOG): going on without it."
    done
    [ ${#UNREADABLE_INDEXES[@]} -gt 0 ] ||
        echo "apt-get update failed ($(apt_first_reason); see $APT_LOG): going on with the lists apt has."
}

# Installs the packages named (apt-get install's own options may come first). Never removes or
# downgrades a package of the machine's. Where it fails and the last update could not read a
# suite's index for a foreign architecture, that suite's packages of the machine's own
# architecture may be newer than anything of the foreign one, while a library installed for
# both must be of one version: the install is tried again with that suite held back, for that
# install alone. Where that fails too, one line says what apt could not install and why, and
# the command stops.
apt_install() {
    local native line suite arch uri held=() pins
    apt_get install -y --no-install-recommends --no-remove "$@" && return 0
    native=$(dpkg --print-architecture)
    for line in "${UNREADABLE_INDEXES[@]}"; do
        read -r suite arch uri <<<"$line"
        [ "$arch" = "$native" ] || [ "$arch" = all ] || held+=("$suite")
    done
    # Whatever words apt's resolver fails in (they differ between apt's versions), a try with the
    # suite held back costs little where the failure had another cause.
    if [ ${#held[@]} -gt 0 ]; then
        mapfile -t held < <(printf '%s\n' "${held[@]}" | sort -u)
        pins=$(mktemp)
        for suite in "${held[@]}"; do
            printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$(suite_codename "$suite")" >>"$pins"
        done
        echo "Installing with ${held[*]} held back: its index for another architecture could not be read," \
            "so those packages come from the release's other suites, at versions that agree with what is installed."
        if apt_get install -y --no-install-recommends --no-remove -o Dir::Etc::Preferences="$pins" "$@"; then
            rm -f "$pins"
            return 0
        fi
        rm -f "$pins"
    fi
    echo "apt could not install what this command needs: $(apt_first_reason) (apt's messages: $APT_LOG)." >&2
    exit 1
}

# The code name in a suite's Release file (which a pin matches); its Suite may differ from the
# name in the source (bookworm-security's is oldstable-security).
suite_codename() {
    local name
    name=$(apt-get indextargets --format '$(RELEASE) $(CODENAME)' 2>/dev/null | awk -v s="$1" '$1 == s && $2 { print $2; exit }')
    echo "${name:-$1}"
}

# Apt's first reason in $APT_OUTPUT: the first unmet dependency it lists, or its first error.
apt_first_reason() {
    local reason
    reason=$(sed -n '/have unmet dependencies:$/{n;s/^ *//;p;q}' <<<"$APT_OUTPUT")
    [ -n "$reason" ] || reason=$(sed -n 's/^E: //p' <<<"$APT_OUTPUT" | head -n1)
    echo "${reason:-apt-get failed without saying why}"
}

# Installs those of the packages named that are missing, after reading the package lists.
install_missing() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null | grep -qx installed || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    apt_update
    apt_install "${missing[@]}"
}
