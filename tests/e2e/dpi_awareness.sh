#!/bin/sh
# The program's first DPI-awareness call asks for per-monitor version 2 (-4), before it makes
# any window: read from Wine's relay trace of just those calls and CreateWindowExW. Run by
# CTest in the prefix and on the display that scripts/test.sh made: dpi_awareness.sh PROGRAM
set -u
program=$1
trace=$(mktemp)
key='HKCU\Software\Wine\Debug'
calls='SetProcessDpiAwarenessContext;SetProcessDpiAwareness;SetProcessDPIAware;CreateWindowExW'
wine reg add "$key" /v RelayInclude /d "$calls" /f >/dev/null 2>&1
# Started from the shell: a trace asked for from inside Wine does not reach its output.
WINEDEBUG=+relay wine "$program" </dev/null >/dev/null 2>"$trace" &
pid=$!
deadline=$(($(date +%s) + 60))
until grep -q 'Ret  user32\.CreateWindowExW' "$trace" || [ "$(date +%s)" -ge "$deadline" ]; do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
wine reg delete "$key" /v RelayInclude /f >/dev/null 2>&1

# Each call as name(arguments), up to the first window made.
calls=$(sed -n -E 's/^.*:Call (user32\.CreateWindowExW)\(.*$/\1/p; s/^.*:Call ([a-z0-9]+\.SetProcess[A-Za-z]*\([^)]*\)).*$/\1/p' \
    "$trace" | sed '/CreateWindowExW/q')
rm -f "$trace"
printf 'The calls, in order:\n%s\n' "$calls"
first=$(printf '%s\n' "$calls" | head -n1)
if [ "$first" != "user32.SetProcessDpiAwarenessContext(fffffffc)" ] ||
    ! printf '%s\n' "$calls" | grep -qx 'user32.CreateWindowExW'; then
    echo "FAIL: the first must be SetProcessDpiAwarenessContext(fffffffc), before a window is made" >&2
    exit 1
fi
