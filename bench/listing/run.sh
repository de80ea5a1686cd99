#!/usr/bin/env bash
# Listing parser benchmark: parses a generated 1,000,000-line Unix listing with Tolvar's
# parser (as the session reads, lines it does not understand tried with the other kinds')
# and with the npm package basic-ftp's parseList (installed into a temporary
# folder), in the same run, and prints both rates and their ratio.
#   bench/listing/run.sh [BUILD_DIR] [LINES]
# BUILD_DIR (default build/bench-listing) is configured and built in Release mode.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-listing}
lines=${2:-1000000}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target listing-bench listing-parse >/dev/null

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

/usr/bin/python3 "$here/generate.py" "$lines" >"$tmp/listing.txt"
npm install --silent --no-audit --no-fund --prefix "$tmp" basic-ftp >/dev/null

read -r ours_lines ours_entries ours_s < <("$build/listing-bench" "$tmp/listing.txt")
read -r peer_lines peer_entries peer_s < <(node "$here/basic-ftp-bench.js" "$tmp" "$tmp/listing.txt")
peer_version=$(node -p "require('$tmp/node_modules/basic-ftp/package.json').version")

# End to end through the command-line tool (reading, parsing and writing JSON), wall time.
start_ns=$(date +%s%N)
"$build/tolvar/tools/listing-parse/listing-parse" "$tmp/listing.txt" >/dev/null 2>&1
tool_s=$(awk -v a="$start_ns" -v b="$(date +%s%N)" 'BEGIN { printf "%.6f", (b - a) / 1e9 }')

awk -v l="$ours_lines" -v oe="$ours_entries" -v os="$ours_s" -v pe="$peer_entries" \
    -v ps="$peer_s" -v ts="$tool_s" -v pv="$peer_version" 'BEGIN {
    printf "listing lines:            %d\n", l
    printf "Tolvar ReadListing:       %d entries in %.3f s CPU = %.0f lines/s\n", oe, os, l / os
    printf "basic-ftp %s parseList: %d entries in %.3f s CPU = %.0f lines/s\n", pv, pe, ps, l / ps
    printf "listing-parse to JSON:    %.3f s wall = %.0f lines/s\n", ts, l / ts
    printf "ratio Tolvar / basic-ftp: %.1fx\n", ps / os
}'
