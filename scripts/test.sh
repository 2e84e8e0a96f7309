#!/bin/sh
# Installs what the tests need, then builds and runs every test twice: in a
# plain build and in an AddressSanitizer/UndefinedBehaviorSanitizer build.
# Tests that need a print scheduler start a private cupsd of their own. The
# plain build also makes the Debian package and runs it as an ordinary user
# (scripts/package-test.sh). Then runs each fuzzer of fuzz/ for 30 s
# (scripts/fuzz.sh).
set -eu
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# Some tests run as an ordinary user (scripts/as-ordinary-user.sh), who must
# be able to reach the build folders.
if [ "$(id -u)" -eq 0 ]; then
  dir=$(pwd)
  while [ "$dir" != / ]; do
    chmod o+x "$dir"
    dir=$(dirname "$dir")
  done
fi

jobs=$(nproc 2>/dev/null || echo 2)
for variant in release asan; do
  dir="build-test-$variant"
  case $variant in
    release) flags="-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_REQUIRE_CUPS=ON" ;;
    asan) flags="-DCMAKE_BUILD_TYPE=Debug -DQUILLET_SANITIZE=ON -DQUILLET_BUILD_BENCH=OFF -DQUILLET_REQUIRE_CUPS=ON" ;;
  esac
  echo "== $variant build"
  # shellcheck disable=SC2086
  cmake -S . -B "$dir" -G Ninja $flags
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
  if [ $variant = release ]; then
    scripts/package-test.sh "$dir"
  fi
done
# A third, small build: every fuzzer, about 30 s each.
echo "== fuzzers"
QUILLET_FUZZ_BUILD=build-test-fuzz scripts/fuzz.sh 30
echo "All tests passed."
