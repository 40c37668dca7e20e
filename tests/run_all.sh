#!/usr/bin/env bash
# Installs the Debian packages the tests need and this machine lacks, builds the project and runs
# every test: the release build's suite, the real-cluster test of the workflow with its lines
# shown (ctest -V), then the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer, the fast-kernel tests with their threads under ThreadSanitizer,
# then the fuzz targets for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install_packages.sh --tests
jobs=${KELVOR_JOBS:-2}

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKELVOR_BUILD_TESTS=ON -DKELVOR_BUILD_BENCH=ON -DKELVOR_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" -LE cluster
ctest --test-dir build -V -L cluster --no-tests=error

if [ "${KELVOR_SKIP_SANITIZERS:-0}" != 1 ]; then
  cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVOR_SANITIZE=ON -DKELVOR_BUILD_BENCH=OFF
  cmake --build build-sanitize -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -LE 'slow|cluster|package'

  # ThreadSanitizer: only the network layer and the fast-kernel tests are built, and only the
  # tests with more than one thread run (whole runs of the program and the single-threaded
  # learning-parameter corners stay with the release suite), to keep the cost small.
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVOR_TSAN=ON -DKELVOR_BUILD_BENCH=OFF
  cmake --build build-tsan -j"$jobs" --target kelvor_thread_tests
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    build-tsan/kelvor_thread_tests --gtest_filter='FastKernels.*:-FastKernels.CornerValuesOfTheLearningParametersMatch'
fi

if [ -x tests/fuzz/run_fuzzers.sh ] && [ "${KELVOR_SKIP_FUZZ:-0}" != 1 ]; then
  tests/fuzz/run_fuzzers.sh
fi
echo "all tests passed"
