#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test, then the thread tests (suites named *Threads) under
# ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=address >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan -j "$jobs" --output-on-failure --timeout 600

cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=thread >/dev/null
cmake --build build/tsan -j "$jobs"  
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan -j "$jobs" --output-on-failure --timeout 600 -R Threads
