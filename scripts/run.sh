#!/usr/bin/env bash
# Sets up what is missing, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
scripts/build.sh -DVSP_BUILD_TESTS=OFF -DVSP_BUILD_BENCH=OFF
# A first start gets a sample catalogue: without DIR, make-samples fills the program's data
# folder ("DataDir" setting, else the documents folder + "/Varnel") only when it does not exist.
build/bin/stampora-batch make-samples || echo "Пример каталога не создан" >&2
exec build/bin/stampora "$@"
