#!/usr/bin/env bash
# Upload queueing benchmark: a local tree of 100 folders x 100 files of 100 bytes (10,000
# files) is queued for upload to a local vsftpd (anonymous writes on) from one command:
# the local pane, offscreen, shows the tree's parent with the tree selected, and the host
# pane receives that selection, as a drop or the Upload command does. Measured: command to
# the first byte on the server, items queued per second, the longest event-loop stall,
# resident memory per item, and the same for 200 folders (20,000 files) for the growth.
# The queue is cleared once measured; not every file is sent.
#   bench/queueing/run.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default build/bench-queueing) is configured and built in Release mode.
# The last line is "first-byte S s; per-item B bytes; growth G" for 10,000 files; the
# growth is of the ReceiveFrom call's CPU time: on shared cores its wall time swings
# with the other processes' load, and the waits on the server it adds are linear.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-queueing}
rounds=${2:-5}
folders=100
per_folder=100

. "$here/../loopback-vsftpd.sh"
need_programs vsftpd

mkdir -p "$build"
if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" --target queueing-bench; } >"$build/build.log" 2>&1; then
    echo "bench/queueing: the benchmark did not build; the end of $build/build.log:" >&2
    tail -20 "$build/build.log" >&2
    exit 1
fi
bench="$build/queueing-bench"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-queueing.XXXXXX")
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

# The trees: d000/f000 ... each file 100 bytes.
mkdir -p "$tmp/local" "$tmp/root" "$tmp/empty"
/usr/bin/python3 - "$tmp/local" "$folders" "$per_folder" <<'PY'
import os, sys
base, folders, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = b"x" * 100
for n in (folders, 2 * folders):
    tree = os.path.join(base, "tree%d" % (n * per))
    for d in range(n):
        folder = os.path.join(tree, "d%03d" % d)
        os.makedirs(folder)
        for f in range(per):
            with open(os.path.join(folder, "f%03d" % f), "wb") as out:
                out.write(data)
PY

start_vsftpd "$tmp/root" "$tmp" "write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
anon_world_readable_only=NO"
port=$vsftpd_port

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
best() { printf '%s\n' "$@" | sort -g | head -1; }
worst() { printf '%s\n' "$@" | sort -g | tail -1; }
# Where the worst stall of a size ended: the gap_at of the round with the longest gap.
worst_at() { # SIZE
    paste -d' ' <(printf '%s\n' ${got[$1.max_gap_ms]}) <(printf '%s\n' ${got[$1.gap_at_ms]}) |
        sort -g | tail -1 | cut -d' ' -f2
}
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# One process per run, so every memory figure starts fresh, and a new server folder, so
# nothing exists at the destination. Without a chroot (vsftpd runs unprivileged) the
# server's paths are the real ones.
keys="items call_ms call_cpu_ms commands lists first_added_ms start_ms progress_ms first_byte_ms max_gap_ms gap_at_ms rss_added_kib uploaded add_ms add_cpu_ms"
declare -A got
for round in $(seq "$rounds"); do
    for size in 1 2; do
        files=$((size * folders * per_folder))
        dest="$tmp/root/up$round-$size"
        mkdir -p "$dest"
        if ! "$bench" "$port" "$dest/" "$tmp/local" "tree$files" "tree$files/d000/f000" \
            >"$tmp/ours.out" 2>"$tmp/ours.err"; then
            echo "queueing-bench failed on $files files:" >&2
            cat "$tmp/ours.err" >&2
            exit 1
        fi
        for key in $keys; do
            got[$size.$key]+="$(value "$key" "$tmp/ours.out") "
        done
        rm -rf "$dest"
    done
done

# shellcheck disable=SC2086
for size in 1 2; do
    files=$((size * folders * per_folder))
    echo "$files files in $((size * folders)) folders, rounds:"
    for key in call_ms call_cpu_ms first_byte_ms progress_ms max_gap_ms gap_at_ms rss_added_kib add_cpu_ms; do
        printf '  %-14s %s\n' "$key" "${got[$size.$key]}"
    done
done
# Times are the best of the rounds (the machine is shared), memory the median, the event
# loop's longest stall the worst.
# shellcheck disable=SC2086
awk -v n="$((folders * per_folder))" -v r="$rounds" \
    -v i1="$(median ${got[1.items]})" -v i2="$(median ${got[2.items]})" \
    -v c1="$(best ${got[1.call_ms]})" -v c2="$(best ${got[2.call_ms]})" \
    -v u1="$(best ${got[1.call_cpu_ms]})" -v u2="$(best ${got[2.call_cpu_ms]})" \
    -v l1="$(median ${got[1.lists]})" -v l2="$(median ${got[2.lists]})" \
    -v k1="$(median ${got[1.commands]})" -v k2="$(median ${got[2.commands]})" \
    -v ga1="$(worst_at 1)" -v ga2="$(worst_at 2)" \
    -v a1="$(best ${got[1.first_added_ms]})" -v s1="$(best ${got[1.start_ms]})" \
    -v p1="$(best ${got[1.progress_ms]})" \
    -v f1="$(best ${got[1.first_byte_ms]})" -v f2="$(best ${got[2.first_byte_ms]})" \
    -v g1="$(worst ${got[1.max_gap_ms]})" -v g2="$(worst ${got[2.max_gap_ms]})" \
    -v m1="$(median ${got[1.rss_added_kib]})" -v m2="$(median ${got[2.rss_added_kib]})" \
    -v up="$(median ${got[1.uploaded]})" \
    -v q1="$(best ${got[1.add_cpu_ms]})" -v q2="$(best ${got[2.add_cpu_ms]})" 'BEGIN {
    ok = "met"; miss = "MISSED"
    b1 = m1 * 1024 / i1; b2 = m2 * 1024 / i2; growth = u2 / u1
    printf "upload queueing, vsftpd on loopback, offscreen panes, best of %d rounds (memory: median; stalls: worst)\n", r
    printf "  %d files (%d items with the folders):\n", n, i1
    printf "    ReceiveFrom call:             %8.1f ms = %.0f items/s (CPU %.1f ms; the rest waits on %d commands to the server, %d of them LIST)\n", c1, i1 / (c1 / 1000), u1, k1, l1
    printf "    first item queued:            %8.1f ms\n", a1
    printf "    first file item started:      %8.1f ms\n", s1
    printf "    first progress of a file:     %8.1f ms\n", p1
    printf "    first byte on the server:     %8.1f ms  (first file non-empty on disk, 2 ms poll)\n", f1
    printf "    longest event-loop stall:     %8.1f ms  (worst round; it ended %.0f ms after the command)\n", g1, ga1
    printf "    resident memory added:        %8.0f KiB = %.0f bytes per item\n", m1, b1
    printf "    files on the server when the queue was cleared: %d\n", up
    printf "  %d files (%d items):\n", 2 * n, i2
    printf "    ReceiveFrom call:             %8.1f ms = %.0f items/s (CPU %.1f ms; %d commands, %d LIST)\n", c2, i2 / (c2 / 1000), u2, k2, l2
    printf "    first byte on the server:     %8.1f ms\n", f2
    printf "    longest event-loop stall:     %8.1f ms  (worst round; it ended %.0f ms after the command)\n", g2, ga2
    printf "    resident memory added:        %8.0f KiB = %.0f bytes per item\n", m2, b2
    printf "  growth, 20,000 over 10,000: ReceiveFrom CPU time %.2f (its wall time %.2f; first byte %.2f)\n", growth, c2 / c1, f2 / f1
    printf "  the queue alone (the same items added to a queue that starts nothing), CPU:\n"
    printf "    %d items %.1f ms, %d items %.1f ms: %.2f times for twice the items\n", i1, q1, i2, q2, q2 / q1
    printf "targets:\n"
    printf "  first byte under 1 s for %d:  %6.2f s  %s\n", n, f1 / 1000, (f1 < 1000 ? ok : miss)
    printf "  at most 2 KiB per item:          %6.0f B  %s\n", b1, (b1 <= 2048 ? ok : miss)
    printf "  growth at most 2.2 (call CPU):   %6.2f    %s\n", growth, (growth <= 2.2 ? ok : miss)
    printf "first-byte %.2f s; per-item %.0f bytes; growth %.2f\n", f1 / 1000, b1, growth
}'
