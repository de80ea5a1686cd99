#!/usr/bin/env bash
# Host pane benchmark: a local vsftpd serves a folder of 100,000 entries (files of varied
# names, sizes and dates, and some folders). The host pane, offscreen in report style,
# shows it from ShowFolder to the sorted list painted; lftp's "cls -l" lists the same
# folder in the same run, the order alternating, best of ROUNDS each. Also measured: the
# revisit from the folder cache, the re-sort by size, the resident memory the listing
# adds, and the time for 200,000 entries over the time for 100,000.
#   bench/views/run.sh [BUILD_DIR] [ROUNDS]
# BUILD_DIR (default build/bench-views) is configured and built in Release mode.
# The last line is "ratio N.Nx": lftp's time over ours on the same folder.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-views}
rounds=${2:-5}
entries=100000

. "$here/../loopback-vsftpd.sh"
need_programs lftp vsftpd

mkdir -p "$build"
if ! { cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
    cmake --build "$build" --target views-bench; } >"$build/build.log" 2>&1; then
    echo "bench/views: the benchmark did not build; the end of $build/build.log:" >&2
    tail -20 "$build/build.log" >&2
    exit 1
fi
bench="$build/views-bench"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-views.XXXXXX")
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

# Sparse files, so sizes up to gigabytes cost no disk. Names mix words, case, digits,
# blanks and extensions; dates span three years, so both listing date forms appear; one
# entry in a hundred is a folder. The seed keeps every run's folders the same.
mkdir -p "$tmp/root/small" "$tmp/empty"
/usr/bin/python3 - "$tmp/root" "$entries" <<'PY'
import os, random, sys, time
base, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(1989)
words = ["report", "Invoice", "photo", "IMG", "backup", "notes", "draft", "Final",
         "data", "setup", "readme", "budget", "scan", "track", "video", "log", "Archive",
         "design", "summary", "export", "mail", "Holiday", "plan", "release"]
exts = ["txt", "jpg", "JPG", "png", "pdf", "zip", "tar.gz", "mp3", "mp4", "csv", "doc",
        "xlsx", "iso", "c", "h", "html", "log", "", "bak", "7z"]
now = time.time()
def fill(folder, n):
    os.makedirs(folder, exist_ok=True)
    for i in range(n):
        name = "%s%s%s %d" % (rng.choice(words), rng.choice(["_", "-", "", " "]),
                              rng.choice(words).lower(), i)
        path = os.path.join(folder, name)
        if i % 100 == 7:
            os.mkdir(path)
        else:
            ext = rng.choice(exts)
            if ext:
                path += "." + ext
            with open(path, "wb") as f:
                f.truncate(int(10 ** rng.uniform(0, 9.6)))
        stamp = now - rng.uniform(0, 3 * 365 * 86400)
        os.utime(path, (stamp, stamp))
fill(os.path.join(base, "big%d" % count), count)
fill(os.path.join(base, "big%d" % (2 * count)), 2 * count)
fill(os.path.join(base, "small"), 12)
PY
big1="$tmp/root/big$entries"
big2="$tmp/root/big$((2 * entries))"

start_vsftpd "$tmp/root" "$tmp"
port=$vsftpd_port

now() { date +%s%N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e6 }'; }
value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

# Ours: one process per round, so each first visit and each memory figure starts fresh.
# Without a chroot (vsftpd runs unprivileged) the server's paths are the real ones.
run_ours() { # FOLDER COUNT OUT
    if ! "$bench" "$port" "$1/" "$tmp/root/small/" "$2" "$1.list" >"$3" 2>"$tmp/ours.err"; then
        echo "views-bench failed on $1:" >&2
        cat "$tmp/ours.err" >&2
        exit 1
    fi
}
# lftp: a new process each time too; its start and log-in are timed on the small folder
# and taken off, as ours is timed from an open session.
run_lftp() { # FOLDER COUNT -> prints ms
    local start end lines
    start=$(now)
    lftp -e "set net:max-retries 1; cd \"$1\"; cls -l; quit" "ftp://127.0.0.1:$port" \
        >"$tmp/lftp.out" 2>"$tmp/lftp.err"
    end=$(now)
    lines=$(wc -l <"$tmp/lftp.out")
    if [ "$lines" -ne "$2" ]; then
        echo "lftp listed $lines lines of $2 in $1" >&2
        head -5 "$tmp/lftp.out" "$tmp/lftp.err" >&2
        exit 1
    fi
    ms "$start" "$end"
}

best() { printf '%s\n' "$@" | sort -g | head -1; }
median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# The text the server sends for each folder, for the parser's share of the time.
for folder in "$big1" "$big2"; do
    lftp -e "set net:max-retries 1; cd \"$folder\"; ls; quit" "ftp://127.0.0.1:$port" >"$folder.list"
done

declare -A own steps show arrive model revisit lists resort rss trimmed lftp lftp_login
# Both sizes in every round, so a change in the machine's load falls on both alike.
for round in $(seq "$rounds"); do
    for size in 1 2; do
        folder=$big1 count=$entries
        [ "$size" -eq 2 ] && folder=$big2 count=$((2 * entries))
        if [ $((round % 2)) -eq 1 ]; then
            run_ours "$folder" "$count" "$tmp/ours.out"
            t=$(run_lftp "$folder" "$count")
        else
            t=$(run_lftp "$folder" "$count")
            run_ours "$folder" "$count" "$tmp/ours.out"
        fi
        lftp[$size]+="$t "
        lftp_login[$size]+="$(run_lftp "$tmp/root/small" 12) "
        show[$size]+="$(value show_ms "$tmp/ours.out") "
        arrive[$size]+="$(value arrive_ms "$tmp/ours.out") "
        model[$size]+="$(value model_ms "$tmp/ours.out") "
        revisit[$size]+="$(value revisit_ms "$tmp/ours.out") "
        lists[$size]+="$(value revisit_lists "$tmp/ours.out") "
        resort[$size]+="$(value resort_ms "$tmp/ours.out") "
        rss[$size]+="$(value rss_added_kib "$tmp/ours.out") "
        trimmed[$size]+="$(value rss_trimmed_kib "$tmp/ours.out") "
        for key in idle_ms settle_ms parse_ms captions_ms sort_ms size_sort_ms; do
            steps[$size.$key]+="$(value $key "$tmp/ours.out") "
        done
    done
done

# shellcheck disable=SC2086
{
    show1=$(best ${show[1]}) show2=$(best ${show[2]})
    arrive1=$(best ${arrive[1]}) model1=$(best ${model[1]})
    revisit1=$(best ${revisit[1]}) resort1=$(best ${resort[1]})
    lists1=$(printf '%s\n' ${lists[1]} ${lists[2]} | sort -n | tail -1)
    rss1=$(median ${rss[1]}) trimmed1=$(median ${trimmed[1]}) rss2=$(median ${rss[2]})
    lftp1=$(best ${lftp[1]}) lftp2=$(best ${lftp[2]})
    login1=$(best ${lftp_login[1]} ${lftp_login[2]})
}
echo "rounds, ms: ours ${show[1]}/ lftp ${lftp[1]}/ lftp start and log-in ${lftp_login[1]}"
echo "            ours ${show[2]}/ lftp ${lftp[2]}for $((2 * entries)) entries"
# shellcheck disable=SC2086
for size in 1 2; do
    printf '%s' "$((size * entries)) entries, where the time goes (best of each step):"
    printf ' server LIST and transfer %s ms,' "$(awk -v a="$(best ${arrive[$size]})" -v p="$(best ${steps[$size.parse_ms]})" 'BEGIN { printf "%.1f", a - p }')"
    printf ' parse %s ms,' "$(best ${steps[$size.parse_ms]})"
    printf ' captions %s ms,' "$(best ${steps[$size.captions_ms]})"
    printf ' sort by name %s ms,' "$(best ${steps[$size.sort_ms]})"
    printf ' by size %s ms,' "$(best ${steps[$size.size_sort_ms]})"
    printf ' layout and paint after state 129 %s ms\n' "$(best ${steps[$size.settle_ms]})"
    own[$size]=$(awk -v s="$(best ${show[$size]})" -v a="$(best ${arrive[$size]})" -v p="$(best ${steps[$size.parse_ms]})" \
        'BEGIN { printf "%.1f", s - (a - p) }')
done
lftp_version=$(lftp --version | head -1 | grep -o "Version [0-9.]*" | cut -d" " -f2)
awk -v n="$entries" -v r="$rounds" -v lv="$lftp_version" \
    -v s1="$show1" -v s2="$show2" -v a1="$arrive1" -v m1="$model1" -v rv="$revisit1" \
    -v lc="$lists1" -v rs="$resort1" -v m1k="$rss1" -v t1k="$trimmed1" -v m2k="$rss2" \
    -v l1="$lftp1" -v l2="$lftp2" -v lg="$login1" -v o1="${own[1]}" -v o2="${own[2]}" 'BEGIN {
    ok = "met"; miss = "MISSED"
    net1 = l1 - lg; net2 = l2 - lg
    if (net1 <= 0) net1 = l1
    if (net2 <= 0) net2 = l2
    ratio = net1 / s1
    printf "host pane, %d entries from vsftpd on loopback, best of %d rounds, offscreen\n", n, r
    printf "  ShowFolder to sorted list shown:   %8.1f ms  (listing reaches the pane %.1f ms, model and sort %.1f ms)\n", s1, a1, m1
    printf "  lftp %s cls -l, same folder:     %8.1f ms  (%.1f ms with its start and log-in, %.1f ms of that)\n", lv, net1, l1, lg
    printf "  revisit from the cache:            %8.1f ms  (LIST commands sent: %d)\n", rv, lc
    printf "  re-sort by size, descending:       %8.1f ms\n", rs
    printf "  resident memory added:             %8.1f MiB (%.1f MiB after malloc_trim; %.1f MiB for %d entries)\n", m1k / 1024, t1k / 1024, m2k / 1024, 2 * n
    printf "  %d entries:                    %8.1f ms  (lftp %.1f ms)\n", 2 * n, s2, net2
    printf "  growth for twice the entries:      %8.2f   (lftp %.2f; the pane alone, parse to painted, %.2f)\n", s2 / s1, net2 / net1, o2 / o1
    printf "targets:\n"
    printf "  at least 10 times lftp:     %5.1fx  %s\n", ratio, (ratio >= 10 ? ok : miss)
    printf "  revisit under 50 ms:        %5.1f ms %s\n", rv, (rv < 50 && lc == 0) ? ok : miss
    printf "  under 40 MiB for %d:    %5.1f MiB %s\n", n, m1k / 1024, (m1k / 1024 < 40 ? ok : miss)
    printf "  growth at most 2.2:         %5.2f  %s\n", s2 / s1, (s2 / s1 <= 2.2 ? ok : miss)
    printf "ratio %.1fx\n", ratio
}'
