#!/usr/bin/env bash
# Transfer benchmark: a local vsftpd on a loopback port serves a 1 GiB file; Tolvar's
# tolvar-ftp downloads and uploads it, and so do curl and a plain 256 KiB-read receive
# loop, in the same run, alternating. Prints each rate (best of ROUNDS) and the ratios.
#   bench/engine/run.sh [BUILD_DIR] [ROUNDS] [SIZE_MIB]
# BUILD_DIR (default build/bench-engine) is configured and built in Release mode.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-engine}
rounds=${2:-3}
size_mib=${3:-1024}

# The peers: curl to compare with and vsftpd to serve (Debian packages).
missing=()
command -v curl >/dev/null || missing+=(curl)
[ -x /usr/sbin/vsftpd ] || missing+=(vsftpd)
if [ "${#missing[@]}" -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target tolvar-ftp plain-receive >/dev/null
tool="$build/tolvar/tools/tolvar-ftp/tolvar-ftp"
plain="$build/plain-receive"

# Memory-backed files when there is room, so the disk does not set the pace.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR==2 {print $4}')" -gt $((size_mib * 4)) ]; then
    base=/dev/shm
fi
tmp=$(mktemp -d "$base/tolvar-bench.XXXXXX")
vsftpd_pid=""
cleanup() {
    [ -n "$vsftpd_pid" ] && kill "$vsftpd_pid" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
mkdir -p "$tmp/root/pub" "$tmp/local"
chmod 755 "$tmp" "$tmp/root"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$tmp/root/big.bin"
cp "$tmp/root/big.bin" "$tmp/local/up.bin"

# As root vsftpd puts anonymous users into the root folder (which must not be writable
# for them) and writes as "ftp"; otherwise it runs as the caller without a chroot.
prefix=""
extra=""
if [ "$(id -u)" -eq 0 ]; then
    chown ftp "$tmp/root/pub" 2>/dev/null || chmod 777 "$tmp/root/pub"
else
    prefix="$tmp/root"
    extra="run_as_launching_user=YES"
fi
cat >"$tmp/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$tmp/root
write_enable=YES
anon_upload_enable=YES
anon_other_write_enable=YES
anon_umask=022
seccomp_sandbox=NO
xferlog_enable=NO
connect_from_port_20=NO
$extra
CONF
/usr/sbin/vsftpd "$tmp/vsftpd.conf" >"$tmp/vsftpd.log" 2>&1 &
vsftpd_pid=$!
for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break
    sleep 0.1
done

url="ftp://127.0.0.1:$port$prefix"
# Wall time of a command in seconds; the command must succeed.
timed() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$tmp/err" || { echo "failed: $*" >&2; cat "$tmp/err" >&2; exit 1; }
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", (b - a) / 1e9 }'
}
best() { # the smaller of the current best and a new time
    awk -v a="$1" -v b="$2" 'BEGIN { if (a == "" || b < a) print b; else print a }'
}
check() { cmp -s "$1" "$2" || { echo "corrupt transfer: $2" >&2; exit 1; }; }

ours_get="" curl_get="" plain_get="" ours_put="" curl_put=""
get_ours() {
    t=$(timed "$tool" --passive get "$url/big.bin" "$tmp/local/ours.bin")
    check "$tmp/root/big.bin" "$tmp/local/ours.bin"; rm -f "$tmp/local/ours.bin"
    ours_get=$(best "$ours_get" "$t")
}
get_curl() {
    t=$(timed curl -s -o "$tmp/local/curl.bin" "$url/big.bin")
    check "$tmp/root/big.bin" "$tmp/local/curl.bin"; rm -f "$tmp/local/curl.bin"
    curl_get=$(best "$curl_get" "$t")
}
get_plain() {
    t=$(timed "$plain" "$port" "$prefix/big.bin" "$tmp/local/plain.bin")
    check "$tmp/root/big.bin" "$tmp/local/plain.bin"; rm -f "$tmp/local/plain.bin"
    plain_get=$(best "$plain_get" "$t")
}
put_ours() {
    t=$(timed "$tool" --passive put "$tmp/local/up.bin" "$url/pub/ours.bin")
    check "$tmp/local/up.bin" "$tmp/root/pub/ours.bin"; rm -f "$tmp/root/pub/ours.bin"
    ours_put=$(best "$ours_put" "$t")
}
put_curl() {
    t=$(timed curl -s -T "$tmp/local/up.bin" "$url/pub/curl.bin")
    check "$tmp/local/up.bin" "$tmp/root/pub/curl.bin"; rm -f "$tmp/root/pub/curl.bin"
    curl_put=$(best "$curl_put" "$t")
}
# The order turns every round, so no program always runs first or after another.
order=(get_ours get_curl get_plain put_ours put_curl)
for round in $(seq "$rounds"); do
    n=${#order[@]}
    for i in $(seq 0 $((n - 1))); do
        "${order[$(( (i + round) % n ))]}"
    done
done

curl_version=$(curl --version | awk 'NR==1 {print $2}')
awk -v m="$size_mib" -v og="$ours_get" -v cg="$curl_get" -v pg="$plain_get" -v op="$ours_put" \
    -v cp="$curl_put" -v cv="$curl_version" -v r="$rounds" -v where="$base" 'BEGIN {
    printf "file: %d MiB in %s, best of %d rounds, vsftpd on 127.0.0.1\n", m, where, r
    printf "download  tolvar-ftp:    %8.1f MiB/s\n", m / og
    printf "download  curl %s:   %8.1f MiB/s\n", cv, m / cg
    printf "download  plain loop:    %8.1f MiB/s\n", m / pg
    printf "upload    tolvar-ftp:    %8.1f MiB/s\n", m / op
    printf "upload    curl %s:   %8.1f MiB/s\n", cv, m / cp
    printf "ratio download tolvar/curl:  %.2f (target >= 1.3)\n", cg / og
    printf "ratio upload   tolvar/curl:  %.2f (target >= 1.2)\n", cp / op
    printf "ratio download tolvar/plain: %.2f (target >= 0.8)\n", pg / og
}'
