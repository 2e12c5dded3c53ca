#!/usr/bin/env bash
# Configures and builds into build/ (or $VSP_BUILD_DIR) with Ninja and ccache. Extra arguments
# go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${VSP_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
ninja -C "$dir" -j"$(nproc)"
