#!/usr/bin/env bash
# Installs the Debian 12 packages that building Tolvar and running its tests need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ clang pkg-config
  # the formatting check (the version 14 that Debian 12 ships)
  clang-format
  qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libgl-dev
  # FTPS
  libssl-dev
  # sanitizer and fuzzer runtimes for clang
  libclang-rt-14-dev
  # real peers the tests start on loopback
  vsftpd python3-pyftpdlib nginx-light
  # certificates made by the tests, the TLS handler of pyftpdlib, and curl as the FTPS peer
  openssl python3-openssl curl
  # libraries of pure-ftpd, which is unpacked below rather than installed
  libcap2 libcrypt1 libpam0g libsodium23 libssl3
  # GUI tests run offscreen; fonts keep text measurable
  fonts-dejavu-core
  # checks the installed desktop entry
  desktop-file-utils
  # the automation suites run on a private session bus; gdbus is the shell's caller
  dbus dbus-daemon libglib2.0-bin
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The packaged daemons must not run as system services: the tests start their own
# instances on loopback ports with temporary roots.
for svc in vsftpd nginx; do
  if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet "$svc" 2>/dev/null; then
    $SUDO systemctl stop "$svc" || true
  fi
done

# pure-ftpd conflicts with the installed vsftpd as a package, so it is only unpacked
# into a private folder; the tests run it from there as a second daemon family.
PUREFTPD_DIR=/opt/tolvar-test/pure-ftpd
if [ ! -x "$PUREFTPD_DIR/usr/sbin/pure-ftpd" ] || [ ! -x "$PUREFTPD_DIR/usr/bin/pure-pw" ]; then
  tmp=$(mktemp -d)
  # apt's download user writes into the folder.
  chmod 0777 "$tmp"
  # The package lists may be missing when every package above was already there.
  (cd "$tmp" && { apt-get download -q pure-ftpd || { $SUDO apt-get update -q && apt-get download -q pure-ftpd; }; })
  $SUDO mkdir -p "$PUREFTPD_DIR"
  $SUDO dpkg -x "$tmp"/pure-ftpd_*.deb "$PUREFTPD_DIR"
  rm -rf "$tmp"
fi
