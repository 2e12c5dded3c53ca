#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test. With VSP_FUZZ_SECONDS set,
# also builds the fuzz targets with clang and runs each for that many seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${VSP_FUZZ_SECONDS:-}" ]; then scripts/setup.sh fuzz; else scripts/setup.sh test; fi
scripts/build.sh -DVSP_BUILD_TESTS=ON -DVSP_BUILD_BENCH=ON
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 600
if [ -n "${VSP_FUZZ_SECONDS:-}" ]; then scripts/fuzz.sh "$VSP_FUZZ_SECONDS"; fi
