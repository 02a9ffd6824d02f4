#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it with the checked-in
# .clang-format. Without arguments every tracked source is checked (a clean checkout has no
# "changed" files to look at); with a git revision, only the sources changed since it.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -gt 0 ]; then
    mapfile -t files < <(git diff --name-only --diff-filter=ACMR "$1" -- '*.cpp' '*.h')
else
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
fi
[ "${#files[@]}" -eq 0 ] && exit 0

bad=()
for f in "${files[@]}"; do
    [ -f "$f" ] || continue
    if ! clang-format --style=file "$f" | cmp -s - "$f"; then bad+=("$f"); fi
done
if [ "${#bad[@]}" -gt 0 ]; then
    echo "Not formatted with .clang-format (run: clang-format -i FILE):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "Formatting: ${#files[@]} sources checked"
