#!/usr/bin/env bash
# Transfer queue benchmark: 2,000 files of 1 KiB downloaded from a local vsftpd through one
# queue (tolvar-ftp mget), once over one connection (--parallel 1, the default) and once
# over four (--parallel 4), beside lftp's "mirror -P 4" (four connections) on the same
# folder in the same run. Prints files per second of each and the ratios to lftp, and the
# one-connection queue over active (PORT) data connections, which must cost no more per
# file.
#   bench/transfer/run.sh [BUILD_DIR] [FILES] [ROUNDS]
# BUILD_DIR (default build/bench-transfer) is configured and built in Release mode.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-transfer}
files=${2:-2000}
rounds=${3:-3}

. "$here/../loopback-vsftpd.sh"
need_programs lftp vsftpd

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tolvar-ftp >/dev/null
tool="$build/tools/tolvar-ftp/tolvar-ftp"

tmp=$(mktemp -d)
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp/root/files" "$tmp/empty"
/usr/bin/python3 - "$tmp/root/files" "$files" <<'PY'
import os, sys
folder, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    with open(os.path.join(folder, "f%05d.bin" % i), "wb") as f:
        f.write(os.urandom(1024))
PY

start_vsftpd "$tmp/root" "$tmp"
port=$vsftpd_port

# Without a chroot (vsftpd runs unprivileged) the server's paths are the real ones.
base="ftp://127.0.0.1:$port$tmp/root/files"
mapfile -t urls < <(cd "$tmp/root/files" && ls | sed "s|^|$base/|")

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }

run_ours() {
    local start
    start=$(now)
    "$tool" --passive --parallel 1 mget "${urls[@]}" "$1" >"$tmp/ours.out"
    ours+=("$(seconds "$start" "$(now)")")
}
run_four() {
    local start
    start=$(now)
    "$tool" --passive --parallel 4 mget "${urls[@]}" "$1" >"$tmp/four.out"
    four+=("$(seconds "$start" "$(now)")")
}
run_active() {
    local start
    start=$(now)
    "$tool" --active mget "${urls[@]}" "$1" >"$tmp/active.out"
    active+=("$(seconds "$start" "$(now)")")
}
run_peer() {
    local start
    start=$(now)
    lftp -e "set net:max-retries 1; mirror -P 4 $tmp/root/files $1; quit" \
        "ftp://127.0.0.1:$port" >/dev/null 2>&1
    peer+=("$(seconds "$start" "$(now)")")
}

# Fresh folders every round, nothing deleted until the end: the file system's cost of
# reusing just-freed inodes would otherwise fall on whichever client runs first. The
# order alternates for the same reason.
ours=() peer=() active=() four=()
for round in $(seq "$rounds"); do
    mkdir -p "$tmp/ours$round" "$tmp/peer$round" "$tmp/active$round" "$tmp/four$round"
    if [ $((round % 2)) -eq 1 ]; then
        run_ours "$tmp/ours$round"
        run_four "$tmp/four$round"
        run_peer "$tmp/peer$round"
    else
        run_peer "$tmp/peer$round"
        run_four "$tmp/four$round"
        run_ours "$tmp/ours$round"
    fi
    if [ "$(ls "$tmp/four$round" | wc -l)" -ne "$files" ]; then
        echo "round $round: tolvar-ftp --parallel 4 got too few files" >&2
        cat "$tmp/four.out" >&2
        exit 1
    fi
    run_active "$tmp/active$round"
    if [ "$(ls "$tmp/active$round" | wc -l)" -ne "$files" ]; then
        echo "round $round: tolvar-ftp --active got too few files" >&2
        cat "$tmp/active.out" >&2
        exit 1
    fi
    got_ours=$(ls "$tmp/ours$round" | wc -l) got_peer=$(ls "$tmp/peer$round" | wc -l)
    if [ "$got_ours" -ne "$files" ] || [ "$got_peer" -ne "$files" ]; then
        echo "round $round: tolvar-ftp got $got_ours files, lftp $got_peer of $files" >&2
        cat "$tmp/ours.out" >&2
        exit 1
    fi
done

median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
ours_s=$(median "${ours[@]}")
peer_s=$(median "${peer[@]}")
active_s=$(median "${active[@]}")
four_s=$(median "${four[@]}")
lftp_version=$(lftp --version | head -1 | grep -o "Version [0-9.]*" | cut -d" " -f2)
awk -v n="$files" -v os="$ours_s" -v ps="$peer_s" -v as="$active_s" -v fs="$four_s" -v r="$rounds" \
    -v lv="$lftp_version" 'BEGIN {
    printf "files: %d of 1 KiB from vsftpd on loopback, median of %d rounds\n", n, r
    printf "Tolvar, --parallel 1 (1 connection): %.3f s = %.0f files/s\n", os, n / os
    printf "Tolvar, --parallel 4 (4 connections): %.3f s = %.0f files/s\n", fs, n / fs
    printf "Tolvar, active (PORT):            %.3f s = %.0f files/s (%.1f ms more a file)\n", as, n / as, (as - os) * 1000 / n
    printf "lftp %s mirror -P 4:         %.3f s = %.0f files/s\n", lv, ps, n / ps
    printf "ratio Tolvar / lftp: --parallel 1 %.2fx, --parallel 4 %.2fx (target 1.2x)\n", ps / os, ps / fs
}'
