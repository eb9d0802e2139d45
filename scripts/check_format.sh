#!/usr/bin/env bash
# Fails when a tracked .cpp or .h file does not match .clang-format; lists every such file.
# `make format` rewrites them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (make deps)"; exit 2; }
bad=()
while IFS= read -r -d '' file; do
    clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || bad+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')
if ((${#bad[@]})); then
    echo "Not formatted as .clang-format says (run make format):"
    printf '  %s\n' "${bad[@]}"
    exit 1
fi
echo "Format check: every tracked .cpp and .h file matches .clang-format"
