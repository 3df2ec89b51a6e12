# shellcheck shell=bash
# Wine sessions for the commands and the tests: private X displays, fresh prefixes, and the
# programs kept running in them. What a command starts here is ended when it ends, unless it
# keeps its sessions for the next run (KEEP_WINE, below).

# For every Wine the scripts start, CTest's runs included: a 32-bit prefix, no debug output, and
# no offer to install Mono or Gecko.
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

SESSION_DIR=""       # this command's prefixes and display numbers, removed at its end
SESSION_PIDS=()      # the X servers, window managers and kept programs it started
SESSION_PREFIXES=()  # the prefixes whose Wine it ends

end_sessions() {
    local prefix pid
    for prefix in "${SESSION_PREFIXES[@]}"; do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    done
    for pid in "${SESSION_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    [ -z "$SESSION_DIR" ] || rm -rf "$SESSION_DIR"
}

session_dir() {
    [ -z "$SESSION_DIR" ] || return 0
    SESSION_DIR=$(mktemp -d /tmp/quorvane-wine.XXXXXX)
    trap end_sessions EXIT
}

# A private X display; sets the variable named $1 to its name (":N").
start_display() {
    session_dir
    local file
    file=$(mktemp "$SESSION_DIR/display.XXXXXX")
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$file" >/dev/null 2>&1 &
    SESSION_PIDS+=($!)
    for _ in $(seq 100); do
        [ -s "$file" ] && break
        sleep 0.05
    done
    [ -s "$file" ] || { echo "Xvfb started no display." >&2; exit 1; }
    printf -v "$1" ':%s' "$(head -n1 "$file")"
}

# A fresh prefix at $1, made on $DISPLAY. Its windows are left to no window manager unless $2 is
# "managed": without one there, every window close would wait 2 s for it.
make_prefix() {
    mkdir -p "$1"
    WINEPREFIX=$1 wine wineboot -i </dev/null >/dev/null 2>&1
    # Wine 8 as Debian packs it looks for its own fonts (MS Sans Serif, Marlett, Tahoma)
    # only in the prefix's Fonts folder, where Windows keeps them; put them there.
    cp -n /usr/share/wine/fonts/* "$1/drive_c/windows/Fonts/" 2>/dev/null || true
    [ "$2" != managed ] || return 0
    WINEPREFIX=$1 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # As on Windows by default, a window takes each size while its border is dragged.
    WINEPREFIX=$1 wine reg add 'HKCU\Control Panel\Desktop' /v DragFullWindows /d 1 /f </dev/null >/dev/null 2>&1
}

# A fresh prefix of this command's at $1 ("managed" or not as $2), its Wine running until the
# command ends, with the program $3 kept running in it (see start_keeper) where one is named.
start_session() {
    SESSION_PREFIXES+=("$1")
    mkdir -p "$1"
    # Wine's background processes start here, not inside a test: they would hold CTest's pipes.
    WINEPREFIX=$1 wineserver -p </dev/null >/dev/null 2>&1
    make_prefix "$1" "$2"
    WINEPREFIX=$1 start_keeper "$3"
}

# Wine ends a prefix's desktop process a few seconds after the last program using it, and
# the next program starts a new one: inside a test, where it holds CTest's output open. A
# program kept running from right after the prefix is made keeps the first one alive.
start_keeper() {
    [ -n "$1" ] && [ -f "$1" ] || return 0
    wine "$1" </dev/null >/dev/null 2>&1 &
    SESSION_PIDS+=($!)
}

# The commands' own session: a fresh unmanaged prefix on a private display, for every program
# started after it (exports DISPLAY and WINEPREFIX). An optional program to keep running.
start_private_wine() {
    start_display DISPLAY
    export DISPLAY WINEPREFIX=$SESSION_DIR/prefix
    start_session "$WINEPREFIX" unmanaged "${1:-}"
}

# For the tests of a screen at 150 % (suites named *At144Dpi, which cmake/wine-exec.sh sends
# there): a second unmanaged prefix, on the same display, whose session starts at 144 DPI.
# Wine 10, like Windows at sign-in, reads the scale only when a session starts: the scale is
# written, then the session is started again. An optional program to keep running.
start_144dpi_wine() {
    export QUORVANE_144DPI_PREFIX=$SESSION_DIR/prefix-144dpi
    local prefix=$QUORVANE_144DPI_PREFIX
    start_session "$prefix" unmanaged ""
    WINEPREFIX=$prefix wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -w </dev/null >/dev/null 2>&1 || true
    WINEPREFIX=$prefix wineserver -p </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix wine wineboot </dev/null >/dev/null 2>&1
    WINEPREFIX=$prefix start_keeper "${1:-}"
}

# For the window-manager tests: a second private display with openbox managing it, and a
# prefix that keeps Wine's default managed windows, so that the manager draws the frames and
# sizes the windows as on a desktop. The tests reach them through QUORVANE_WM_DISPLAY and
# QUORVANE_WM_PREFIX. An optional program to keep running.
start_wm_wine() {
    start_display QUORVANE_WM_DISPLAY
    export QUORVANE_WM_DISPLAY QUORVANE_WM_PREFIX=$SESSION_DIR/wm-prefix
    DISPLAY=$QUORVANE_WM_DISPLAY openbox </dev/null >/dev/null 2>&1 &
    SESSION_PIDS+=($!)
    DISPLAY=$QUORVANE_WM_DISPLAY start_session "$QUORVANE_WM_PREFIX" managed "${1:-}"
    for _ in $(seq 100); do
        DISPLAY=$QUORVANE_WM_DISPLAY wmctrl -m >/dev/null 2>&1 && break
        sleep 0.05
    done
}

# Saves a picture of the shown window captioned $1 on $DISPLAY to the file $2. The window is in
# X's tree a moment before it can be read (import fails meanwhile), and is painted once it
# shows: shots are taken until two in a row agree, for up to 20 s.
save_window_picture() {
    local window="" previous="" current="" error="" deadline
    for _ in $(seq 200); do
        window=$(xwininfo -root -tree 2>/dev/null | awk -v caption="\"$1\"" 'index($0, caption) {print $1; exit}')
        [ -n "$window" ] && break
        sleep 0.05
    done
    [ -n "$window" ] || { echo "The window did not appear." >&2; exit 1; }
    deadline=$((SECONDS + 20))
    while :; do
        current=""
        if error=$(import -display "$DISPLAY" -window "$window" "$2" 2>&1); then
            current=$(md5sum <"$2")
            [ "$current" = "$previous" ] && break
        fi
        [ "$SECONDS" -lt "$deadline" ] || break
        previous=$current
        sleep 0.05
    done
    [ -n "$current" ] || { echo "The window could not be read: $error" >&2; exit 1; }
}

# Sessions kept between filtered test runs (KEEP_WINE=1, from QUORVANE_KEEP_WINE): each kind
# (private, 144dpi, wm) in a folder of its own under $KEPT_WINE_DIR, with a record of what it
# exports, the processes it started and the prefixes it made. The next such run takes it again
# while they all still answer, and starts it afresh where one does not. end_kept_wine ends them,
# by the processes' ids recorded, never by name.
KEEP_WINE=""
KEPT_WINE_DIR=$BUILD_DIR/kept-wine

# "pid:start" for the process with the id $1: its start time since boot tells it from a later
# process given the same id.
process_stamp() { printf '%s:%s' "$1" "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f20)"; }

# Starts the session of the kind named ($1: private, 144dpi or wm) with the program $2 kept
# running in it, or takes the kept one.
wine_session() {
    local kind=$1 dir=$KEPT_WINE_DIR/$1 pid stamps=() names
    [ -n "$KEEP_WINE" ] || { "start_${kind}_wine" "$2"; return; }
    if kept_session_answers "$dir"; then
        # shellcheck source=/dev/null
        source "$dir/record"
        export "${KEPT_EXPORTS[@]}"
        echo "Wine session kept by an earlier run: $kind ($dir)."
        return
    fi
    end_kept_session "$dir"
    # The 144-DPI session shares the private session's display: a new display, a new session.
    [ "$kind" != private ] || end_kept_session "$KEPT_WINE_DIR/144dpi"
    mkdir -p "$dir"
    SESSION_DIR=$dir SESSION_PIDS=() SESSION_PREFIXES=()
    eval "start_${kind}_wine \"\$2\" $(inherited_closes)"
    for pid in "${SESSION_PIDS[@]}"; do stamps+=("$(process_stamp "$pid")"); done
    case $kind in
    wm) names=(QUORVANE_WM_DISPLAY QUORVANE_WM_PREFIX) ;;
    144dpi) names=(DISPLAY QUORVANE_144DPI_PREFIX) ;;
    *) names=(DISPLAY WINEPREFIX) ;;
    esac
    {
        printf 'KEPT_EXPORTS=('
        for name in "${names[@]}"; do printf '%q ' "$name=${!name}"; done
        printf ')\nKEPT_PIDS=(%s)\nKEPT_PREFIXES=(' "${stamps[*]}"
        printf '%q ' "${SESSION_PREFIXES[@]}"
        printf ')\n'
    } >"$dir/record"
    # Nothing of it is ended with this command.
    SESSION_DIR="" SESSION_PIDS=() SESSION_PREFIXES=()
}

# Redirections that close every file this shell has open beyond the standard three (its script's
# own is closed on exec already): a kept program would hold them open after the command has
# ended, a lock or a pipe that its caller waits on among them.
inherited_closes() {
    local fd
    for fd in /proc/$$/fd/*; do
        fd=${fd##*/}
        [ "$fd" -le 2 ] || [ "$fd" -eq 255 ] || printf ' %s>&-' "$fd"
    done
}

# Whether the kept session at $1 still answers: every process it started runs, each prefix is
# there, and its X display takes a client.
kept_session_answers() {
    [ -f "$1/record" ] || return 1
    local KEPT_EXPORTS=() KEPT_PIDS=() KEPT_PREFIXES=() stamp prefix display
    # shellcheck source=/dev/null
    source "$1/record"
    for stamp in "${KEPT_PIDS[@]}"; do [ "$(process_stamp "${stamp%%:*}")" = "$stamp" ] || return 1; done
    for prefix in "${KEPT_PREFIXES[@]}"; do [ -d "$prefix/drive_c" ] || return 1; done
    display=$(printf '%s\n' "${KEPT_EXPORTS[@]}" | sed -n 's/^\(DISPLAY\|QUORVANE_WM_DISPLAY\)=//p' | head -n1)
    DISPLAY=$display xdpyinfo >/dev/null 2>&1
}

# Ends the kept session at $1, whatever is left of it, and removes its folder.
end_kept_session() {
    [ -d "$1" ] || return 0
    local KEPT_EXPORTS=() KEPT_PIDS=() KEPT_PREFIXES=() stamp prefix
    # shellcheck source=/dev/null
    [ ! -f "$1/record" ] || source "$1/record"
    for prefix in "${KEPT_PREFIXES[@]}"; do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
        WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1 || true
    done
    for stamp in "${KEPT_PIDS[@]}"; do
        [ "$(process_stamp "${stamp%%:*}")" != "$stamp" ] || kill "${stamp%%:*}" 2>/dev/null || true
    done
    rm -rf "$1"
}

# Ends every kept session.
end_kept_wine() {
    local kind
    for kind in wm 144dpi private; do end_kept_session "$KEPT_WINE_DIR/$kind"; done
    rm -rf "$KEPT_WINE_DIR"
}
