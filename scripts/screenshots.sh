#!/usr/bin/env bash
# Renders Tolvar's windows offscreen into build/screenshots/*.png, so they can be looked
# at without a display. Builds the renderer (tools/screenshots) in its own build folder,
# starts a vsftpd on a loopback port serving a small made-up tree, and fills a local
# folder with a few files for the local pane.
#   scripts/screenshots.sh [--only NAME[,NAME...]] [--list]
# OUT (default build/screenshots) is where the PNG files go.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${OUT:-$root/build/screenshots}
# SHOTS_BUILD names an existing build folder to use instead of a private one.
build=${SHOTS_BUILD:-$out/cmake}

. "$root/bench/loopback-vsftpd.sh"
need_programs vsftpd

mkdir -p "$build"
# A named build folder keeps its own configuration.
configure=(cmake -S "$root" -B "$build" -G Ninja -DTOLVAR_BUILD_TESTS=OFF)
[ -n "${SHOTS_BUILD:-}" ] && configure=(true)
if ! { "${configure[@]}" &&
    cmake --build "$build" --target tolvar-screenshots; } >"$build/build.log" 2>&1; then
    echo "screenshots: the renderer did not build; the end of $build/build.log:" >&2
    tail -20 "$build/build.log" >&2
    exit 1
fi
renderer="$build/tools/screenshots/tolvar-screenshots"
if [ "${1:-}" = "--list" ]; then
    exec "$renderer" --list
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tolvar-shots.XXXXXX")
cleanup() {
    stop_vsftpd
    rm -rf "$tmp"
}
trap cleanup EXIT

# A small site: folders, text, image and archive files of varied sizes and dates, a
# script with other permissions than its neighbours, and links to a file and a folder.
/usr/bin/python3 - "$tmp/site" "$tmp/local" <<'PY'
import os, random, sys, time
site, local = sys.argv[1], sys.argv[2]
rng = random.Random(7)
now = time.time()
def put(folder, name, size, days, mode=0o644):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(rng.randbytes(size))
    os.chmod(path, mode)
    os.utime(path, (now - days * 86400, now - days * 86400))
def folder(parent, name, days):
    path = os.path.join(parent, name)
    os.makedirs(path)
    return path
for name, days in [("docs", 40), ("images", 3), ("releases", 400), ("pub", 12)]:
    folder(site, name, days)
put(site, "README.txt", 2_310, 2)
put(site, "CHANGES.md", 18_944, 25)
put(site, "install.sh", 4_120, 60, 0o755)
put(site, "logo.png", 48_211, 90)
put(site, "holiday-2023.jpg", 2_816_503, 300)
put(site, "tolvar-1.10-src.tar.gz", 3_911_420, 5)
put(site, "manual.pdf", 1_204_880, 150)
put(site, "sources.zip", 712_004, 700)
put(site, "prices.csv", 96, 1, 0o600)
# Nobody may read it: its download fails (the transfer manager shows the error).
put(site, "locked.dat", 5_000, 8, 0o000)
# A real page and picture, for the internal viewer.
def png(width, height):
    import struct, zlib
    rows = b"".join(b"\0" + b"".join(bytes((40 + (x * 3) % 150, 110 + (y * 2) % 100, 170))
                                     for x in range(width)) for y in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) +
            chunk(b"IEND", b""))
def write(folder, name, data, days):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, (now - days * 86400, now - days * 86400))
write(os.path.join(site, "docs"), "guide.html", b"""<html><head><title>Tolvar guide</title></head>
<body><h1>Tolvar guide</h1><p><img src="../images/banner.png"></p>
<p>Welcome to the documentation of this server. The folders hold:</p>
<ul><li><b>releases</b>: every version, with its sources</li>
<li><b>images</b>: pictures for the pages</li>
<li><b>pub</b>: files shared by the users</li></ul>
<p>Questions go to <a href="mailto:admin@example.org">admin@example.org</a>.</p></body></html>
""", 40)
write(os.path.join(site, "images"), "banner.png", png(360, 48), 3)
os.symlink("tolvar-1.10-src.tar.gz", os.path.join(site, "latest.tar.gz"))
os.symlink("releases", os.path.join(site, "old"))
for path, days in [("docs", 40), ("images", 3), ("releases", 400), ("pub", 12)]:
    stamp = now - days * 86400
    os.utime(os.path.join(site, path), (stamp, stamp))

os.makedirs(local)
folder(local, "Projects", 2)
folder(local, "Music", 30)
put(local, "report.pdf", 482_113, 1)
put(local, "todo.txt", 312, 0)
put(local, "photo.jpg", 1_650_200, 10)
put(local, "backup.tar.gz", 25_400_000, 45)
put(local, "notes.md", 5_400, 4)
PY

# As root, vsftpd locks anonymous sessions into the site, so the panes show "/" as most
# servers would; otherwise it runs as the launching user and the real paths show.
if [ "$(id -u)" -eq 0 ] && id ftp >/dev/null 2>&1; then
    chmod 755 "$tmp"
    session="chroot_local_user=NO"
    remote=/
else
    session="run_as_launching_user=YES"
    remote="$tmp/site/"
fi

# 400 KB/s for downloads, so that the transfer windows are caught mid-file.
start_vsftpd "$tmp/site" "$tmp" "anon_max_rate=400000" "$session"
port=$vsftpd_port

mkdir -p "$out"
if ! QT_QPA_PLATFORM=offscreen ${SHOTS_WRAPPER:-} "$renderer" --port "$port" --remote "$remote" \
    --local "$tmp/local" --out "$out" "$@"; then
    echo "screenshots: some windows were not rendered (see above)" >&2
    exit 1
fi
