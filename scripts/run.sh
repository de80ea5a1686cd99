#!/usr/bin/env bash
# Installs what the build needs, builds Tolvar and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/app -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_BUILD_TESTS=OFF >/dev/null
cmake --build build/app -j"$(nproc)"
exec build/app/src/tolvar "$@"
