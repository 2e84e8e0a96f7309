#!/bin/sh
# Runs every fuzzer of fuzz/ for a while each, on a copy of its seed corpus
# (fuzz/corpus/<name>/, which thus stays as it is) and with its dictionary
# (fuzz/<name>.dict) if it has one, and prints its executions. Fails when a
# fuzzer crashes, hangs, runs out of memory or a sanitizer reports.
#
#   scripts/fuzz.sh [seconds per fuzzer, default 30]
#
# Builds the fuzzers with clang into $QUILLET_FUZZ_BUILD (build-fuzz); inputs
# that fail are kept in that folder's fuzz-findings/.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-30}
build=${QUILLET_FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLET_FUZZ=ON -DQUILLET_BUILD_TESTS=OFF -DQUILLET_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target quillet_fuzzers

findings="$build/fuzz-findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$findings"
failed=""
for seeds in fuzz/corpus/*/; do
  name=$(basename "$seeds")
  cp -r "$seeds" "$work/$name"
  dict=""
  [ ! -f "fuzz/$name.dict" ] || dict="-dict=fuzz/$name.dict"
  # -timeout: one input taking this long is a hang; -rss_limit_mb bounds memory.
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$findings/$name-" -print_final_stats=1 ${dict:+"$dict"} "$work/$name" \
    >"$work/$name.log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")
    echo "fuzz $name: $runs executions in ${seconds} s"
  else
    tail -n 40 "$work/$name.log"
    echo "fuzz $name: FAILED (input kept in $findings/)"
    failed="$failed $name"
  fi
done
[ -z "$failed" ] || { echo "Fuzzers failed:$failed"; exit 1; }
