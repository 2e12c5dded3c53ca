#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for the given seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVSP_BUILD_FUZZ=ON -DVSP_BUILD_TESTS=OFF \
  -DVSP_BUILD_BENCH=OFF >/dev/null
ninja -C build-fuzz -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
for target in build-fuzz/fuzz/*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="build-fuzz/corpus-$name"
  mkdir -p "$corpus"
  seeds="fuzz/seeds/$name"
  [ -d "$seeds" ] || seeds=""
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "$corpus" $seeds
done
