#!/usr/bin/env bash
# Times a start of the panel with 1,000 glyphs whose thumbnails are cached, from the start of
# the process to the first painted thumbnail (VSP_QUIT_AFTER_THUMBNAILS), offscreen; and, on
# the same catalogue, `stampora-batch scan --thumbnails` against `stampora-batch cache`, which
# read the same cache file, the one keeping every thumbnail, the other only listing them.
# Usage: bench/bench_startup.sh [BUILD_DIR] [RUNS]   (defaults: build, 11)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-11}
batch="$build/bin/stampora-batch"
panel="$build/bin/stampora"
for program in "$batch" "$panel"; do
  [ -x "$program" ] || { echo "no $program: build the project first" >&2; exit 1; }
done

scratch=$(mktemp -d /tmp/vsp-bench-startup-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/tmp" "$scratch/runtime" "$scratch/docs"
chmod 700 "$scratch/runtime"
# The panel's data folder is the documents folder + "/Varnel" while no DataDir is set.
export TMPDIR="$scratch/tmp" VSP_REGISTRY_FILE="$scratch/registry" QT_QPA_PLATFORM=offscreen \
  XDG_RUNTIME_DIR="$scratch/runtime" XDG_DOCUMENTS_DIR="$scratch/docs"
data="$scratch/docs/Varnel"
"$batch" make-samples "$data" >/dev/null 2>&1
mine="$data/Оттиски/Визитки/Мои оттиски"
for i in $(seq -w 1 1000); do
  cp "$data/Оттиски/Визитки/Коллекция оттисков/Визитка классическая.doc" "$mine/Визитка $i.doc"
done
# One scan draws every thumbnail through the word processor and fills the cache.
"$batch" scan --data "$data" --thumbnails >/dev/null 2>&1
[ -s "$data/cache.dat" ] || { echo "the cache was not written" >&2; exit 1; }

since() { awk -v from="$1" -v to="$2" 'BEGIN { printf "%.4f", to - from }'; }
median() { sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }

# Seconds of wall time of one run of the command, its output dropped.
wall() {
  local t0=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  since "$t0" "$EPOCHREALTIME"
}

# Seconds from the start of the panel to its line on stderr.
startup() {
  local t0=$EPOCHREALTIME t1=""
  while IFS= read -r line; do
    [[ $line == "stampora: thumbnails painted" ]] && t1=$EPOCHREALTIME
  done < <(VSP_QUIT_AFTER_THUMBNAILS=1 timeout 60 "$panel" 2>&1 >/dev/null)
  [ -n "$t1" ] || { echo "the panel painted no thumbnail" >&2; exit 1; }
  since "$t0" "$t1"
}

report() {
  local label=$1
  shift
  local times=()
  for _ in $(seq "$runs"); do times+=("$("$@")"); done
  printf '%-36s median %s s   runs: %s\n' "$label" "$(printf '%s\n' "${times[@]}" | median)" \
    "$(printf '%.3f ' "${times[@]}")"
}

report "scan --thumbnails (1,000 cached)" wall "$batch" scan --data "$data" --thumbnails
report "cache (listing the same file)" wall "$batch" cache --data "$data"
report "panel start to painted thumbnails" startup
