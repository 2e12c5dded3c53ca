#!/usr/bin/env bash
# Sets up what is missing, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
scripts/build.sh -DVSP_BUILD_TESTS=OFF -DVSP_BUILD_BENCH=OFF
exec build/bin/stampora "$@"
