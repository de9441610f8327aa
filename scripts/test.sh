#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test, then the thread tests (suites named *Threads) under
# ThreadSanitizer. Both halves run even when the first fails; skipped tests
# are listed with their reasons at the end of each half.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=$(nproc)
# The tests get the same tools and text handling whoever runs them: a UTF-8
# locale that every Debian system has, and the administrator's folders where
# mkfs.vfat, mkntfs, sgdisk and friends live.
export LC_ALL=C.UTF-8
unset LANGUAGE
case ":$PATH:" in *:/usr/sbin:*) ;; *) PATH="$PATH:/usr/sbin" ;; esac
case ":$PATH:" in *:/sbin:*) ;; *) PATH="$PATH:/sbin" ;; esac
export PATH
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export CCACHE_DIR=${CCACHE_DIR:-$PWD/.cache/ccache}

# run_half BUILD_DIR CMAKE_ARGS... -- CTEST_ARGS...
run_half() {
  local dir=$1; shift
  local cmake_args=() ctest_args=()
  while [ "$1" != "--" ]; do cmake_args+=("$1"); shift; done
  shift
  ctest_args=("$@")
  cmake -S . -B "$dir" -G Ninja -DQUARNEL_WERROR="${QUARNEL_WERROR:-OFF}" "${cmake_args[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" || return 1
  # Every test makes its folders under the build's test-tmp (see
  # tests/CMakeLists.txt); what a crashed test left there goes now.
  rm -rf "$dir/test-tmp"
  local status=0
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 "${ctest_args[@]}" || status=$?
  scripts/skip-reasons.sh "$dir" || true
  # Tests remove their folders, also when they fail; only a crash may leave
  # one. (Qt keeps its runtime-USER folder there when XDG_RUNTIME_DIR is unset.)
  local left
  left=$(ls -A "$dir/test-tmp" 2>/dev/null | grep -v '^runtime-' || true)
  if [ -n "$left" ]; then
    echo "test.sh: tests left these in $dir/test-tmp:" >&2
    head -n 20 <<<"$left" >&2
    status=1
  fi
  rm -rf "$dir/test-tmp"
  return "$status"
}

asan=0 tsan=0
run_half build/asan -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=address -- || asan=$?
TSAN_OPTIONS=halt_on_error=1 run_half build/tsan -DCMAKE_BUILD_TYPE=Debug -DQUARNEL_SANITIZE=thread -- -R Threads || tsan=$?
if [ "$asan" -ne 0 ] || [ "$tsan" -ne 0 ]; then
  echo "test.sh: failed ($([ "$asan" -ne 0 ] && echo "AddressSanitizer half ")$([ "$tsan" -ne 0 ] && echo "ThreadSanitizer half"))" >&2
  exit 1
fi
echo "test.sh: every test passed"
