#!/usr/bin/env bash
# Runs the listing parsers' fuzz target for a bounded time (FUZZ_SECONDS, default 60)
# from a seed corpus made of the listing test data. Fails on any crash, time-out, broken
# guarantee or sanitizer report; the offending input is kept in BUILD_DIR/fuzz-artifacts.
#   scripts/fuzz.sh BUILD_DIR      (a clang build configured with -DTOLVAR_FUZZ=ON)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:?usage: scripts/fuzz.sh BUILD_DIR}
seconds=${FUZZ_SECONDS:-60}
target="$build/tests/fuzz/fuzz_listing"
if [ ! -x "$target" ]; then
    echo "fuzz.sh: $target is not built (configure with clang and -DTOLVAR_FUZZ=ON)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$build/fuzz-artifacts"

# Seeds: the listing lines of every data file, under each parser's server type.
n=0
for file in tests/listing/data/*.txt; do
    for type in 11 17 13 5 53 54 55 56; do
        {
            printf "\\$(printf '%03o' "$type")"
            sed -n -E 's/^<=? ?//p' "$file" | printf '%b' "$(cat)"
        } >"$work/corpus/seed-$n"
        n=$((n + 1))
    done
done
# A machine listing (MLSD).
printf '\377%b' 'type=cdir;modify=20240115103000; .\r\ntype=file;size=12;modify=20240115103000.5;perm=r; a;b c.txt\r\nType=DIR;UNIX.mode=0755; sub\r\ntype=OS.unix=slink:/pub; link\r\n' \
    >"$work/corpus/seed-$n"
n=$((n + 1))

echo "=== fuzz_listing: ${seconds} s from $n seeds ==="
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -artifact_prefix="$build/fuzz-artifacts/" -print_final_stats=1 "$work/corpus" 2>&1 |
    tail -n 40
