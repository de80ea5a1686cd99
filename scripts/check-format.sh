#!/usr/bin/env bash
# Fails, naming the files, when a C++ file git tracks does not match .clang-format.
#   scripts/check-format.sh [CLANG_FORMAT]
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-clang-format}
bad=()
while IFS= read -r -d '' file; do
    "$tool" --dry-run --Werror "$file" >/dev/null 2>&1 || bad+=("$file")
done < <(git ls-files -z '*.cpp' '*.h')
if [ "${#bad[@]}" -gt 0 ]; then
    echo "These files do not match .clang-format (run: clang-format -i FILE):" >&2
    printf '  %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "formatting: every C++ file matches .clang-format"
