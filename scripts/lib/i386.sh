# shellcheck shell=bash
# 32-bit programs: Wine's own i386 side and the program. They run natively where the kernel
# runs them. Where it refuses them (no 32-bit code segment at all), qemu's user-mode emulator
# runs them, registered with binfmt_misc as the handler of i386 programs; Debian 12's own qemu
# (7.2) cannot run Wine, the one from its backports suite (10) can. QUORVANE_I386=emulated
# takes the emulated way on any machine. setup_i386 finds out which way they run, sets
# I386_WAY to a phrase saying so, and prints it.
#
# The kernel, and with it every handler, is the machine's, shared by each root (chroot) on it:
# inside a root the scripts take the machine's way as it is, and never register or drop a
# handler. Nothing touches a handler before Wine is known to be there to try.
I386_HANDLERS=/proc/sys/fs/binfmt_misc
I386_HANDLER=$I386_HANDLERS/qemu-i386
I386_PROGRAM=/usr/lib/wine/wine  # Wine's 32-bit loader: a 32-bit program to try
I386_WAY=""
QEMU=/usr/bin/qemu-i386

i386_fails() {
    echo "32-bit programs cannot run here: $1" >&2
    exit 1
}

i386_runs() { "$I386_PROGRAM" --version >/dev/null 2>&1; }

# How a 32-bit program runs here, found out by running the smallest one: an ELF file for the 386
# that asks for the machine's name (uname) and exits with its first letter, "x" (x86_64) where
# the kernel runs it and "i" (i686) where qemu does. Prints "natively", "emulated" or "refused".
# With "kernel" as $1 its ABI version is 1, which the handlers' masks leave out and the
# kernel's own loader ignores: then it tells whether the kernel itself runs 32-bit programs.
i386_probe() {
    local file status=0 said abi='\x00'
    [ "${1:-}" != kernel ] || abi='\x01'
    file=$(mktemp)
    # The ELF header and one program header, loading the whole file; then the code: sub esp, 400;
    # mov ebx, esp; mov eax, 122 (uname); int 0x80; movzx ebx, byte [esp + 260] (the machine's
    # name); mov eax, 1 (exit); int 0x80.
    printf '\x7fELF\x01\x01\x01\x00'"$abi"'\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00' >"$file"
    printf '\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$file"
    printf '\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x72\x00\x00\x00' >>"$file"
    printf '\x72\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x81\xec\x90\x01\x00\x00\x89\xe3\xb8\x7a\x00\x00' >>"$file"
    printf '\x00\xcd\x80\x0f\xb6\x9c\x24\x04\x01\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >>"$file"
    chmod +x "$file"
    said=$("$file" 2>&1) || status=$?
    rm -f "$file"
    case $status in
    120) echo natively ;;
    105) echo emulated ;;
    *) # not started, or stopped at once: a kernel without 32-bit code segments
        [ "$status" != 126 ] || [[ $said == *"Exec format error"* ]] || i386_fails "a 32-bit program could not be tried: $said"
        echo refused ;;
    esac
}

# Whether this runs inside a root (chroot) of the machine. Debian's ischroot compares / with the
# first process's; where it cannot tell, a root's / is no mount point of its own.
in_root() {
    local status=0
    ischroot 2>/dev/null || status=$?
    case $status in
    0) return 0 ;;
    1) return 1 ;;
    esac
    ! awk '$5 == "/" { found = 1 } END { exit !found }' /proc/self/mountinfo 2>/dev/null
}

# binfmt_misc, mounted where it is not yet (a machine's handlers apply whether it is or not).
see_i386_handlers() {
    [ -e "$I386_HANDLERS/register" ] || mount -t binfmt_misc binfmt_misc "$I386_HANDLERS" 2>/dev/null || true
}

# The machine's handlers, each by name with what binfmt_misc says of it.
machine_handlers() {
    local entry
    for entry in "$I386_HANDLERS"/*; do
        case ${entry##*/} in register | status) ;; *) printf '%s: %s\n' "${entry##*/}" "$(tr '\n' ' ' <"$entry")" ;; esac
    done
}

i386_handler_is_ours() {
    grep -qx enabled "$I386_HANDLER" 2>/dev/null && grep -qx "interpreter $QEMU" "$I386_HANDLER" &&
        grep -qx 'flags: OCF' "$I386_HANDLER"
}

# Fails only where a handler is registered and binfmt_misc would not let go of it.
drop_i386_handler() { [ ! -e "$I386_HANDLER" ] || { echo -1 >"$I386_HANDLER"; } 2>/dev/null; }

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

# On the machine itself: qemu-i386 10 or later registered as the handler of i386 programs, in
# place of one that is not (a handler that runs Wine already was left alone before this).
emulate_i386() {
    [ "$(id -u)" = 0 ] || i386_fails "emulating them needs root (binfmt_misc, packages): run this as root."
    [ -e "$I386_HANDLERS/register" ] ||
        i386_fails "this kernel has no binfmt_misc to hand them to an emulator; use another machine."
    local version
    version=$(qemu_version)
    [ "${version%%.*}" -ge 10 ] 2>/dev/null || install_qemu
    version=$(qemu_version)
    [ "${version%%.*}" -ge 10 ] 2>/dev/null || i386_fails "$QEMU is version '${version:-none}', and Wine needs 10 or later."
    i386_handler_is_ours && return 0
    drop_i386_handler || i386_fails "binfmt_misc would not let go of the handler $I386_HANDLER."
    # An ELF file for the 386, executable or shared; F: the kernel opens qemu once, now.
    { echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$QEMU"':OCF' \
        >"$I386_HANDLERS/register"; } 2>/dev/null || i386_fails "binfmt_misc refused the handler for $QEMU."
}

setup_i386() {
    [ -z "$NATIVE_WINDOWS" ] || return 0
    case ${QUORVANE_I386:-} in
    "" | emulated) ;;
    *) i386_fails "QUORVANE_I386 is '$QUORVANE_I386'; it may only be 'emulated', or unset." ;;
    esac
    # A machine without Wine is a failed install to name, not a kernel to find a way around.
    [ -x "$I386_PROGRAM" ] || {
        echo "Wine's 32-bit loader $I386_PROGRAM is not installed (package wine32:i386): the packages did not all install." >&2
        exit 1
    }
    local way where="" version
    way=$(i386_probe) || exit 1
    if in_root; then
        where=" (the way of the machine that this root is on)"
        [ "$way" != refused ] ||
            i386_fails "the kernel refuses them, and a root registers no handler: run this command on the machine itself first."
    else
        see_i386_handlers
        if [ "$way" = emulated ] && i386_runs; then
            # A handler that a run with QUORVANE_I386=emulated left, where the kernel runs them itself.
            if [ -z "${QUORVANE_I386:-}" ] && i386_handler_is_ours && [ "$(i386_probe kernel)" = natively ]; then
                drop_i386_handler || i386_fails "binfmt_misc would not let go of the handler $I386_HANDLER."
            fi
        elif [ "$way" != natively ] || [ -n "${QUORVANE_I386:-}" ]; then
            emulate_i386
        fi
        way=$(i386_probe) || exit 1
    fi
    if [ "$way" = emulated ]; then
        # Wine's server reaches into its clients' memory through ptrace, which the emulator
        # does not pass on: the 64-bit server runs natively beside the emulated 32-bit side.
        [ -x /usr/lib/wine/wineserver64 ] || (install_missing wine64) ||
            i386_fails "wine64, whose server must run natively beside the emulator, did not install."
        version=$(qemu_version)
        I386_WAY="emulated by qemu-i386 $version"
        i386_handler_is_ours && [ -n "$version" ] || I386_WAY="emulated by the machine's handler"
    else
        I386_WAY=natively
    fi
    local said
    said=$("$I386_PROGRAM" --version 2>&1 >/dev/null) ||
        i386_fails "Wine's 32-bit loader fails, $I386_WAY: $(printf '%s' "$said" | head -n1)"
    echo "32-bit programs run $I386_WAY$where."
}
