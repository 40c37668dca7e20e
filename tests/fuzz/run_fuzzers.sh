#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# in build-fuzz and runs each on its committed seed corpus for a bounded time. Fails on any
# crash, sanitizer report or failed check; the input that caused it is kept in build-fuzz/findings.
#
#   KELVOR_FUZZ_SECONDS   time per target (default 60)
#   KELVOR_FUZZ_TARGETS   targets to run (default: reader setio defaults)
#   KELVOR_JOBS           build jobs (default 2)
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir=$(pwd)
build=${KELVOR_FUZZ_BUILD:-build-fuzz}
seconds=${KELVOR_FUZZ_SECONDS:-60}
targets=${KELVOR_FUZZ_TARGETS:-reader setio defaults}
jobs=${KELVOR_JOBS:-2}

cxx=$(command -v clang++ || command -v clang++-14 || true)
if [ -z "$cxx" ]; then
  echo "run_fuzzers: clang++ not found (Debian packages clang and libclang-rt-14-dev)" >&2
  exit 1
fi

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" -DKELVOR_SANITIZE=ON -DKELVOR_FUZZ=ON \
  -DKELVOR_BUILD_BENCH=OFF >"$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"$jobs" --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

findings="$source_dir/$build/findings"
work="$source_dir/$build/work"
mkdir -p "$findings"
total_runs=0
status=0
for t in $targets; do
  # The corpus in the repository stays as committed; new inputs go to a working copy.
  rm -rf "$work/$t"
  mkdir -p "$work/$t/corpus"
  cp "tests/fuzz/corpus/$t"/* "$work/$t/corpus/"
  log="$work/$t.log"
  echo "fuzz_$t: ${seconds} s"
  set +e
  (cd "$work/$t" && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$source_dir/$build/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
    -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$findings/$t-" corpus) >"$log" 2>&1
  rc=$?
  set -e
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 || true)
  echo "fuzz_$t: exit $rc, $runs executions in ${seconds} s, $cov, corpus $(ls "$work/$t/corpus" | wc -l) inputs"
  total_runs=$((total_runs + runs))
  if [ "$rc" != 0 ]; then
    echo "fuzz_$t FAILED; last lines of $log:" >&2
    tail -60 "$log" >&2
    status=1
  fi
done
echo "fuzzing: $total_runs executions in all"
exit $status
