#!/usr/bin/env bash
# Transfer queue benchmark: 2,000 files of 1 KiB downloaded from a local vsftpd through one
# queue (one connection, tolvar-ftp mget), beside lftp's "mirror -P 4" (four connections)
# on the same folder in the same run. Prints files per second of both and their ratio.
#   bench/transfer/run.sh [BUILD_DIR] [FILES] [ROUNDS]
# BUILD_DIR (default build/bench-transfer) is configured and built in Release mode.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-transfer}
files=${2:-2000}
rounds=${3:-3}

if ! command -v lftp >/dev/null; then
    apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq lftp >/dev/null
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tolvar-ftp >/dev/null
tool="$build/tools/tolvar-ftp/tolvar-ftp"

tmp=$(mktemp -d)
vsftpd_pid=
cleanup() {
    [ -n "$vsftpd_pid" ] && kill "$vsftpd_pid" 2>/dev/null && wait "$vsftpd_pid" 2>/dev/null
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

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat >"$tmp/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
run_as_launching_user=YES
seccomp_sandbox=NO
secure_chroot_dir=$tmp/empty
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$tmp/root
write_enable=NO
pasv_enable=YES
pasv_address=127.0.0.1
pasv_addr_resolve=NO
port_enable=YES
connect_from_port_20=NO
xferlog_enable=NO
syslog_enable=NO
max_clients=50
max_per_ip=50
CONF
/usr/sbin/vsftpd "$tmp/vsftpd.conf" >"$tmp/vsftpd.out" 2>&1 &
vsftpd_pid=$!
for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

# Without a chroot (vsftpd runs unprivileged) the server's paths are the real ones.
base="ftp://127.0.0.1:$port$tmp/root/files"
mapfile -t urls < <(cd "$tmp/root/files" && ls | sed "s|^|$base/|")

now() { date +%s%N; }
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }

run_ours() {
    local start
    start=$(now)
    "$tool" --passive mget "${urls[@]}" "$1" >"$tmp/ours.out"
    ours+=("$(seconds "$start" "$(now)")")
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
ours=() peer=()
for round in $(seq "$rounds"); do
    mkdir -p "$tmp/ours$round" "$tmp/peer$round"
    if [ $((round % 2)) -eq 1 ]; then
        run_ours "$tmp/ours$round"
        run_peer "$tmp/peer$round"
    else
        run_peer "$tmp/peer$round"
        run_ours "$tmp/ours$round"
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
lftp_version=$(lftp --version | head -1 | grep -o "Version [0-9.]*" | cut -d" " -f2)
awk -v n="$files" -v os="$ours_s" -v ps="$peer_s" -v r="$rounds" -v lv="$lftp_version" 'BEGIN {
    printf "files: %d of 1 KiB from vsftpd on loopback, median of %d rounds\n", n, r
    printf "Tolvar, one queue (1 connection): %.3f s = %.0f files/s\n", os, n / os
    printf "lftp %s mirror -P 4:         %.3f s = %.0f files/s\n", lv, ps, n / ps
    printf "ratio Tolvar / lftp:              %.2fx\n", ps / os
}'
