#!/usr/bin/env bash
# Configures and builds into build/ (Ninja, ccache). Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@" >/dev/null
ninja -C build -j"$(nproc)"
