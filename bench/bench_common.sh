# Shared by the end-to-end benchmark scripts; sourced after $build and $runs are set.

# Checks what the benchmarks need and makes their scratch folder ($scratch, removed on exit)
# with a sample catalogue in $data; stampora-batch is $batch. The name tells the folders apart.
bench_setup() {
  batch="$build/bin/stampora-batch"
  [ -x "$batch" ] || { echo "no $batch: build the project first" >&2; exit 1; }
  [ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }
  scratch=$(mktemp -d "/tmp/vsp-bench-$1-XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  export TMPDIR="$scratch/tmp" VSP_REGISTRY_FILE="$scratch/registry" QT_QPA_PLATFORM=offscreen
  mkdir -p "$TMPDIR"
  data="$scratch/data"
  "$batch" make-samples "$data" >/dev/null 2>&1
}

# Runs a command $runs times; prints the median wall time and the largest peak memory
# (ru_maxrss through /usr/bin/time). The label is padded to ${label_width:-40} columns.
measure() {
  local label=$1
  shift
  local times=() peak=0
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$scratch/time" "$@" >/dev/null 2>"$scratch/err" ||
      { echo "$label: failed" >&2; cat "$scratch/err" >&2; exit 1; }
    read -r seconds kb <"$scratch/time"
    times+=("$seconds")
    [ "$kb" -gt "$peak" ] && peak=$kb
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
  printf "%-${label_width:-40}s median %6.2f s   peak %5d MB   runs: %s\n" "$label" "$median" \
    $((peak / 1024)) "${times[*]}"
}

# The median seconds of a line measure printed.
median_of() { sed -E 's/.* median +([0-9.]+) s .*/\1/' <<<"$1"; }
