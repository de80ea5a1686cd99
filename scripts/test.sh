#!/usr/bin/env bash
# Installs what the build and the tests need, checks the formatting, then builds and runs
# every test suite: a plain build with warnings as errors, the whole suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the engine and transfer-queue suites under ThreadSanitizer, and the
# parsers' fuzz target for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/check-format.sh

JOBS=$(nproc)
BUILD_ROOT=${TOLVAR_BUILD_ROOT:-build}

run_suite() { # name, cmake args..., then "--" and ctest args
    local name=$1; shift
    local cmake_args=() ctest_args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
    [ $# -gt 0 ] && shift
    ctest_args=("$@")
    echo "=== $name ==="
    cmake -S . -B "$BUILD_ROOT/$name" -G Ninja "${cmake_args[@]}" >/dev/null
    cmake --build "$BUILD_ROOT/$name" -j"$JOBS"
    ctest --test-dir "$BUILD_ROOT/$name" --output-on-failure -j2 "${ctest_args[@]}" \
        | tee "$BUILD_ROOT/$name/ctest-summary.log"
    local line total failed
    line=$(grep -E "tests failed out of [0-9]+" "$BUILD_ROOT/$name/ctest-summary.log" | tail -1)
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
    TOTAL_PASSED=$((TOTAL_PASSED + total - failed))
    TOTAL_FAILED=$((TOTAL_FAILED + failed))
}
TOTAL_PASSED=0
TOTAL_FAILED=0

run_suite plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVAR_WERROR=ON

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DTOLVAR_SANITIZE=address,undefined -DTOLVAR_FUZZ=ON

run_suite tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DTOLVAR_SANITIZE=thread -- -L "engine|transfer"

if [ -x scripts/fuzz.sh ]; then
    bash scripts/fuzz.sh "$BUILD_ROOT/asan"
    TOTAL_PASSED=$((TOTAL_PASSED + 1))
fi

echo "tolvar: $TOTAL_PASSED passed, $TOTAL_FAILED failed"
