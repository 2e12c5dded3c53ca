#!/usr/bin/env bash
# Sets up what is missing, checks the format, builds everything with warnings as errors and
# runs every test; then builds the tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/) and runs them there. VSP_SANITIZE=0 skips that second
# build. With VSP_FUZZ_SECONDS set, also builds the fuzz targets with clang and runs each for
# that many seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${VSP_FUZZ_SECONDS:-}" ]; then scripts/setup.sh fuzz; else scripts/setup.sh test; fi
scripts/check-format.sh
scripts/build.sh -DVSP_BUILD_TESTS=ON -DVSP_BUILD_BENCH=ON -DVSP_WERROR=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 600
if [ "${VSP_SANITIZE:-1}" != 0 ]; then
  # GCC's flow warnings misfire on instrumented code, so this build does not fail on warnings.
  VSP_BUILD_DIR=build-asan scripts/build.sh -DVSP_BUILD_TESTS=ON -DVSP_BUILD_BENCH=OFF \
    -DVSP_WERROR=OFF -DVSP_SANITIZE=address,undefined
  # Leaks at exit (Qt's and the tests' deliberately immortal application) are not the point.
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j2 --timeout 1200
fi
if [ -n "${VSP_FUZZ_SECONDS:-}" ]; then scripts/fuzz.sh "$VSP_FUZZ_SECONDS"; fi
