# shellcheck shell=bash
# The static checks, each printing its findings with their file and line and failing on any:
# the C++ code's format, the analysis of the program's sources, the shell scripts, and the docs
# against the tree.

# The checkout's tracked files that exist (every file, where the checkout is no git clone).
tracked_files() {
    (
        cd "$QUORVANE_ROOT" || exit 1
        if git rev-parse --git-dir >/dev/null 2>&1; then git ls-files; else find . -path ./build -prune -o -type f -print | sed 's|^\./||'; fi
    ) | while read -r file; do [ -f "$QUORVANE_ROOT/$file" ] && printf '%s\n' "$file"; done
}

# The format that .clang-format states, over all the C++ code.
check_format() {
    local code
    mapfile -t code < <(cd "$QUORVANE_ROOT" && find src tests bench res -name '*.cpp' -o -name '*.h' | sort)
    (cd "$QUORVANE_ROOT" && clang-format --dry-run --Werror --style=file "${code[@]}") || {
        echo "Not in the house format (.clang-format): 'clang-format -i FILE' puts it right." >&2
        return 1
    }
    echo "Format checked: ${#code[@]} C++ files in the house format."
}

# The analysis that .clang-tidy states, over the program's sources, through the compile commands
# of the clang build (so after build_clang_program), one process a core.
check_tidy() {
    local sources findings status=0
    mapfile -t sources < <(cd "$QUORVANE_ROOT" && find src -name '*.cpp' | sort)
    findings=$(cd "$QUORVANE_ROOT" && printf '%s\n' "${sources[@]}" |
        xargs -P "$(nproc)" -n 1 clang-tidy -p "$CLANG_BUILD_DIR" --quiet 2>&1) || status=$?
    if [ "$status" -ne 0 ]; then
        printf '%s\n' "$findings" | grep -v -e '^[0-9]* warnings\? \(and [0-9]* errors\? \)\?generated\.$' >&2
        echo "clang-tidy (.clang-tidy) found the above in the program's sources." >&2
        return 1
    fi
    echo "Analysis checked: ${#sources[@]} sources without a finding."
}

# Every tracked shell script, checked at warning level: the .sh files, and the files whose first
# line starts sh or bash (.ci/run). Sourced files name their shell; sources are followed
# from the checkout's root, where the scripts' "# shellcheck source=" lines start.
check_shell() {
    local scripts file
    mapfile -t scripts < <(tracked_files | while read -r file; do
        case $file in
        *.sh) echo "$file" ;;
        *) head -n1 "$QUORVANE_ROOT/$file" | grep -qE '^#!.*[/ ](ba)?sh( |$)' && echo "$file" ;;
        esac
    done)
    # Each process reads the sourced files again: a few scripts a process, one process a core.
    (cd "$QUORVANE_ROOT" && printf '%s\n' "${scripts[@]}" |
        xargs -P "$(nproc)" -n 4 shellcheck --severity=warning --external-sources --format=gcc) || {
        echo "shellcheck found the above in the shell scripts; a false positive is disabled where it occurs, with its reason." >&2
        return 1
    }
    echo "Shell checked: ${#scripts[@]} scripts without a finding."
}

# The docs against the tree (tools/check_docs.py says what it checks and what it leaves out).
check_docs() { python3 "$QUORVANE_ROOT/tools/check_docs.py" "$QUORVANE_ROOT"; }
