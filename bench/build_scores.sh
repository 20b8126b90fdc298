#!/usr/bin/env bash
# Whether a change to the build (compiler flags, a new compiler) moves the
# score: two or more brisk programs scored one thread at a time at grids 64
# and 192, with a streaming triad beside them as the memory bound, in rounds
# whose order is shuffled, so a busy moment of a shared machine hits every
# build alike. Prints each build's best round per grid, and the best triad.
#
#   bench/build_scores.sh <pages-bench> <label>=<brisk> <label>=<brisk>...
#
# <pages-bench> is a brisk_pages_bench (its triad on ordinary pages). Pin it
# to one processor: `taskset -c 1 bench/build_scores.sh ...`. The environment
# sets ROUNDS (5), SECONDS_PER_RUN (5), ISA (fma), SIZES ("64 192").
set -euo pipefail
usage="usage: build_scores.sh <pages-bench> <label>=<brisk> <label>=<brisk>..."
pages_bench=${1:?$usage}
shift
(($# >= 2)) || {
  echo "$usage" >&2
  exit 2
}
rounds=${ROUNDS:-5}
seconds=${SECONDS_PER_RUN:-5}
isa=${ISA:-fma}
sizes=${SIZES:-64 192}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# These runs stay out of the user's history.
export BRISK_RESULTS_DIR="$work/results" BRISK_CACHE_DIR="$work/cache"

declare -A brisk best
jobs=(triad)
for arg in "$@"; do
  label=${arg%%=*}
  brisk[$label]=${arg#*=}
  for size in $sizes; do jobs+=("$label/$size"); done
done

# keep_best <key> <value>
keep_best() {
  if [[ -z ${best[$1]:-} ]] || awk -v a="$2" -v b="${best[$1]}" 'BEGIN { exit !(a > b) }'; then
    best[$1]=$2
  fi
}

for ((round = 1; round <= rounds; round++)); do
  for job in $(printf '%s\n' "${jobs[@]}" | shuf); do
    if [[ $job == triad ]]; then
      value=$("$pages_bench" --benchmark_filter=triad/ordinary --benchmark_repetitions=1 \
        --benchmark_min_time=1 2>/dev/null | awk '$1 == "triad/ordinary" && $3 == "GB/s" { print $2 }')
    else
      out=$("${brisk[${job%/*}]}" -n 1 -s "${job#*/}" -d "$seconds" --isa "$isa" \
        --harness-sub-runs 1 --no-save </dev/null 2>&1) || true
      value=$(sed -n 's/^final score: \([0-9.]*\) MGups.*/\1/p' <<<"$out")
    fi
    echo "round $round: $job ${value:-no result}"
    [[ -n $value ]] && keep_best "$job" "$value"
  done
done

echo
echo "best of $rounds rounds (brisk -n 1 -d $seconds --isa $isa)"
for job in "${jobs[@]}"; do
  unit=MGups
  [[ $job == triad ]] && unit=GB/s
  printf '%-24s %9s %s\n' "$job" "${best[$job]:-none}" "$unit"
done
