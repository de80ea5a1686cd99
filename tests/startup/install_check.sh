#!/bin/sh
# Installs the build into a prefix holding a blank and checks what a desktop needs:
# a valid desktop entry whose Exec starts the installed program, and the icon.
set -eu
cmake=$1
build=$2
program=$3
command -v desktop-file-validate >/dev/null || { echo "desktop-file-validate missing"; exit 1; }
[ -x "$program" ] || { echo "build the tolvar target first"; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/my prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$tmp/install.log"
entry="$prefix/share/applications/tolvar.desktop"
desktop-file-validate "$entry"
[ -x "$prefix/bin/tolvar" ] || { echo "program not installed"; exit 1; }
[ -s "$prefix/share/icons/hicolor/scalable/apps/tolvar.svg" ] || { echo "icon missing"; exit 1; }
[ -d "$prefix/share/tolvar/help" ] || { echo "help folder missing"; exit 1; }
exec_line=$(grep '^Exec=' "$entry")
expected="Exec=\"$prefix/bin/tolvar\" %u"
[ "$exec_line" = "$expected" ] || { echo "got $exec_line, want $expected"; exit 1; }
grep -qx 'MimeType=x-scheme-handler/ftp;' "$entry" || { echo "no ftp handler"; exit 1; }
echo "installed and valid"
