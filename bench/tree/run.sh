#!/usr/bin/env bash
# Tree download benchmark: a tree of 50 folders x 200 files of 100 bytes (10,000 files) on
# a local vsftpd, downloaded from the host pane of the main window (offscreen) with the
# Download command, beside `tolvar-ftp mget -r` fetching the same tree in the same run.
# Measured: command to the first file on disk, the whole tree against the command line's
# time, the process's CPU once the queue is idle, and its memory before and after.
#   bench/tree/run.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default build/bench-tree) is configured and built in Release mode.
# The last line is "first-file S s; ratio R; idle-cpu C%".
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-tree}
rounds=${2:-3}
folders=50
per_folder=200
files=$((folders * per_folder))

. "$here/../loopback-vsftpd.sh"
need_programs vsftpd

mkdir -p "$build"
if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" --target tree-bench tolvar-ftp; } >"$build/build.log" 2>&1; then
    echo "bench/tree: the benchmark did not build; the end of $build/build.log:" >&2
    tail -20 "$build/build.log" >&2
    exit 1
fi
bench="$build/tree-bench"
tool="$build/tolvar/tools/tolvar-ftp/tolvar-ftp"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-tree.XXXXXX")
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

mkdir -p "$tmp/root"
/usr/bin/python3 - "$tmp/root/tree" "$folders" "$per_folder" <<'PY'
import os, sys
tree, folders, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = b"x" * 100
for d in range(folders):
    folder = os.path.join(tree, "d%03d" % d)
    os.makedirs(folder)
    for f in range(per):
        with open(os.path.join(folder, "f%03d" % f), "wb") as out:
            out.write(data)
PY

start_vsftpd "$tmp/root" "$tmp"
port=$vsftpd_port

now() { date +%s%N; }
value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
worst() { printf '%s\n' "$@" | sort -g | tail -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
count_files() { find "$1" -type f | wc -l; }

# Without a chroot (vsftpd runs unprivileged) the server's paths are the real ones.
keys="items done commands lists call_ms first_file_ms all_ms idle_cpu_pct rss_start_kib rss_end_kib"
declare -A got
peer=()
run_peer() {
    local dest="$tmp/peer$1" start
    mkdir -p "$dest"
    start=$(now)
    "$tool" --passive mget -r "ftp://127.0.0.1:$port$tmp/root/tree/" "$dest/" >"$tmp/peer.out" 2>&1 || {
        echo "tolvar-ftp mget -r failed:" >&2
        tail -5 "$tmp/peer.out" >&2
        exit 1
    }
    peer+=("$(awk -v a="$start" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')")
    [ "$(count_files "$dest")" -eq "$files" ] || { echo "tolvar-ftp fetched $(count_files "$dest") files" >&2; exit 1; }
}
run_ours() {
    local dest="$tmp/ours$1" key
    mkdir -p "$dest"
    if ! "$bench" "$port" "$tmp/root" tree "$dest" tree/d000/f000 "$files" >"$tmp/ours.out" 2>"$tmp/ours.err"; then
        echo "tree-bench failed:" >&2
        cat "$tmp/ours.err" >&2
        exit 1
    fi
    for key in $keys; do got[$key]+="$(value "$key" "$tmp/ours.out") "; done
    [ "$(count_files "$dest")" -eq "$files" ] || { echo "the pane fetched $(count_files "$dest") files" >&2; exit 1; }
    cmp -s "$dest/tree/d049/f199" "$tmp/root/tree/d049/f199" || { echo "the pane's last file differs" >&2; exit 1; }
}
# The destinations stay until the end: creating files where many were just deleted costs
# the file system more, and would favour whichever ran first. The order alternates.
for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        run_peer "$round"
        run_ours "$round"
    else
        run_ours "$round"
        run_peer "$round"
    fi
done

echo "rounds:"
for key in $keys; do printf '  %-14s %s\n' "$key" "${got[$key]}"; done
printf '  %-14s %s\n' "peer_ms" "${peer[*]}"
# Times are the best of the rounds (the machine is shared), CPU and memory the median.
# shellcheck disable=SC2086
awk -v r="$rounds" -v n="$files" -v i="$(median ${got[items]})" -v d="$(median ${got[done]})" \
    -v k="$(median ${got[commands]})" -v l="$(median ${got[lists]})" \
    -v c="$(best ${got[call_ms]})" -v f="$(best ${got[first_file_ms]})" \
    -v a="$(best ${got[all_ms]})" -v p="$(best "${peer[@]}")" \
    -v u="$(median ${got[idle_cpu_pct]})" -v m0="$(median ${got[rss_start_kib]})" \
    -v m1="$(median ${got[rss_end_kib]})" 'BEGIN {
    ok = "met"; miss = "MISSED"; ratio = a / p
    printf "tree download from the host pane, vsftpd on loopback, offscreen window, best of %d rounds (CPU, memory: median)\n", r
    printf "  %d files: %d items, %d done; %d commands from the pane, %d of them LIST\n", n, i, d, k, l
    printf "  Download command returned:   %8.1f ms\n", c
    printf "  first file on disk:          %8.1f ms\n", f
    printf "  whole tree:                  %8.1f ms  (tolvar-ftp mget -r: %.1f ms)\n", a, p
    printf "  CPU once idle:               %8.1f %%\n", u
    printf "  resident memory:             %8.0f KiB before, %.0f KiB after\n", m0, m1
    printf "targets:\n"
    printf "  first file within 2 s:          %6.2f s  %s\n", f / 1000, (f <= 2000 ? ok : miss)
    printf "  at most 1.2 times mget -r:      %6.2f    %s\n", ratio, (ratio <= 1.2 ? ok : miss)
    printf "  no CPU once idle (under 2%%):    %6.1f %%  %s\n", u, (u < 2 ? ok : miss)
    printf "first-file %.2f s; ratio %.2f; idle-cpu %.1f%%\n", f / 1000, ratio, u
}'
