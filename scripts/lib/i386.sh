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
