#!/usr/bin/env bash
# Runs the set-up's tests, each in a process of its own, and closes on one "N passed, N failed"
# line. As root: they make fresh roots of a Debian release (debootstrap, chroot) and read the
# machine's handlers of 32-bit programs. .ci/run runs it after the test command.
cd "$(dirname "$0")/../.." || exit 1
passed=0 failed=0
for test in tests/setup/*.sh; do
    case $test in */lib.sh | */run.sh) continue ;; esac
    echo "== $test"
    if bash "$test"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
