#!/usr/bin/env bash
# Encrypted transfer benchmark: a local vsftpd requires explicit FTPS (AUTH TLS, PROT P,
# data connections that resume the control connection's TLS session) with a certificate
# made for the run; tolvar-ftp downloads and uploads a 1 GiB file, and so does curl, in
# the same run, the order turning each round. Prints each rate (best of ROUNDS); the last
# line holds both directions and the ratios.
#   bench/ftps/run.sh [BUILD_DIR] [ROUNDS] [SIZE_MIB]
# BUILD_DIR (default build/bench-ftps) is configured and built in Release mode.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-$root/build/bench-ftps}
rounds=${2:-2}
size_mib=${3:-1024}

. "$here/../loopback-vsftpd.sh"
need_programs curl vsftpd openssl

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target tolvar-ftp >/dev/null
tool="$build/tools/tolvar-ftp/tolvar-ftp"
usage=$("$tool" 2>&1 || true)
if ! grep -q -- "--tls" <<<"$usage"; then
    echo "this tolvar-ftp has no --tls switch" >&2
    exit 1
fi

# Memory-backed files when there is room, so the disk does not set the pace.
base=${TMPDIR:-/tmp}
if [ -d /dev/shm ] && [ "$(df -Pm /dev/shm | awk 'NR==2 {print $4}')" -gt $((size_mib * 5)) ]; then
    base=/dev/shm
fi
tmp=$(mktemp -d "$base/tolvar-ftps-bench.XXXXXX")
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1" -keyout "$tmp/key.pem" -out "$tmp/cert.pem" \
    >/dev/null 2>&1
fingerprint=$(openssl x509 -in "$tmp/cert.pem" -noout -fingerprint -sha256 | cut -d= -f2)

mkdir -p "$tmp/root/pub" "$tmp/local"
head -c $((size_mib * 1024 * 1024)) /dev/urandom >"$tmp/root/big.bin"
cp "$tmp/root/big.bin" "$tmp/local/up.bin"

# vsftpd's default of refusing data connections that do not resume the control
# connection's session (require_ssl_reuse) stays on; uploads must end with close_notify.
# The package's default ciphers are ones OpenSSL 3 no longer offers.
start_vsftpd "$tmp/root" "$tmp" "write_enable=YES
anon_upload_enable=YES
anon_other_write_enable=YES
anon_umask=022
anon_world_readable_only=NO
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
strict_ssl_read_eof=YES
ssl_ciphers=HIGH
rsa_cert_file=$tmp/cert.pem
rsa_private_key_file=$tmp/key.pem"
# Unchrooted: the server's paths are the real ones. curl takes a URL's path as relative to
# the log-in folder unless it starts with %2F.
url="ftp://127.0.0.1:$vsftpd_port$tmp/root"
curl_url="ftp://127.0.0.1:$vsftpd_port/%2F${tmp#/}/root"

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

ours=("$tool" --passive --tls --trust-fingerprint "$fingerprint")
ours_get="" curl_get="" ours_put="" curl_put=""
get_ours() {
    t=$(timed "${ours[@]}" get "$url/big.bin" "$tmp/local/ours.bin")
    check "$tmp/root/big.bin" "$tmp/local/ours.bin"; rm -f "$tmp/local/ours.bin"
    ours_get=$(best "$ours_get" "$t")
}
get_curl() {
    t=$(timed curl -s --ssl-reqd -k -o "$tmp/local/curl.bin" "$curl_url/big.bin")
    check "$tmp/root/big.bin" "$tmp/local/curl.bin"; rm -f "$tmp/local/curl.bin"
    curl_get=$(best "$curl_get" "$t")
}
put_ours() {
    t=$(timed "${ours[@]}" put "$tmp/local/up.bin" "$url/pub/ours.bin")
    check "$tmp/local/up.bin" "$tmp/root/pub/ours.bin"; rm -f "$tmp/root/pub/ours.bin"
    ours_put=$(best "$ours_put" "$t")
}
put_curl() {
    t=$(timed curl -s --ssl-reqd -k -T "$tmp/local/up.bin" "$curl_url/pub/curl.bin")
    check "$tmp/local/up.bin" "$tmp/root/pub/curl.bin"; rm -f "$tmp/root/pub/curl.bin"
    curl_put=$(best "$curl_put" "$t")
}
# The order turns every round, so neither program always goes first.
for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        get_ours; get_curl; put_ours; put_curl
    else
        get_curl; get_ours; put_curl; put_ours
    fi
done

curl_version=$(curl --version | awk 'NR==1 {print $2}')
cipher=$(openssl s_client -connect "127.0.0.1:$vsftpd_port" -starttls ftp </dev/null 2>/dev/null |
    awk '/^New,/ {print $2 " " $NF; exit}')
awk -v m="$size_mib" -v og="$ours_get" -v cg="$curl_get" -v op="$ours_put" -v cp="$curl_put" \
    -v cv="$curl_version" -v r="$rounds" -v where="$base" -v c="$cipher" 'BEGIN {
    printf "file: %d MiB in %s, best of %d rounds, vsftpd on 127.0.0.1, explicit FTPS (%s)\n", m, where, r, c
    printf "download  tolvar-ftp:    %8.1f MiB/s\n", m / og
    printf "download  curl %s:   %8.1f MiB/s\n", cv, m / cg
    printf "upload    tolvar-ftp:    %8.1f MiB/s\n", m / op
    printf "upload    curl %s:   %8.1f MiB/s\n", cv, m / cp
    printf "ftps download %.0f MiB/s (curl %.0f MiB/s, ratio %.2f); upload %.0f MiB/s (curl %.0f MiB/s, ratio %.2f)\n",
        m / og, m / cg, cg / og, m / op, m / cp, cp / op
}'
