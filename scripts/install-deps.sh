#!/usr/bin/env bash
# Installs the Debian 12 packages that building Tolvar and running its tests need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ clang pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsimpleini-dev
  # sanitizer and fuzzer runtimes for clang
  libclang-rt-14-dev
  # real peers the tests start on loopback
  vsftpd python3-pyftpdlib nginx-light
  # GUI tests run offscreen; fonts keep text measurable
  fonts-dejavu-core
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
