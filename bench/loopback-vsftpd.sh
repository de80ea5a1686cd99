# Sourced by the benchmarks and scripts/screenshots.sh: the programs a script runs,
# installed from Debian when missing, and one vsftpd on 127.0.0.1 serving a folder to
# anonymous users, stopped by the process id it was started with.
#   need_programs PROGRAM...                 installs the package of each missing one
#   start_vsftpd ROOT WORK [LINES] [SESSION]  sets vsftpd_port and vsftpd_pid; LINES are
#       appended to the configuration; SESSION says how it runs (by default as the
#       launching user, unchrooted, so the server's paths are the real ones)
#   stop_vsftpd

need_programs() {
    local missing=() program
    for program in "$@"; do
        command -v "$program" >/dev/null || [ -x "/usr/sbin/$program" ] || missing+=("$program")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

vsftpd_pid=""
vsftpd_port=""
start_vsftpd() {
    local root=$1 work=$2 lines=${3:-} session=${4:-run_as_launching_user=YES}
    mkdir -p "$work/empty"
    vsftpd_port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
    cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$vsftpd_port
background=NO
$session
seccomp_sandbox=NO
secure_chroot_dir=$work/empty
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
anon_root=$root
pasv_enable=YES
pasv_address=127.0.0.1
pasv_addr_resolve=NO
port_enable=YES
connect_from_port_20=NO
xferlog_enable=NO
syslog_enable=NO
max_clients=50
max_per_ip=50
$lines
CONF
    /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/vsftpd.out" 2>&1 &
    vsftpd_pid=$!
    local attempt
    for attempt in $(seq 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$vsftpd_port") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "vsftpd did not start on 127.0.0.1:$vsftpd_port:" >&2
    cat "$work/vsftpd.out" >&2
    exit 1
}

stop_vsftpd() {
    if [ -n "$vsftpd_pid" ]; then
        kill "$vsftpd_pid" 2>/dev/null || true
        wait "$vsftpd_pid" 2>/dev/null || true
        vsftpd_pid=""
    fi
}
