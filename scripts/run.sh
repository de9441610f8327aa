#!/usr/bin/env bash
# Builds the Release programs and runs the command-line tool with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARNEL_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target quarnel-cli
exec build/release/src/cli/quarnel-cli "$@"
