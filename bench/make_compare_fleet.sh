#!/bin/sh
# Writes the fleet of 1,000 results documents that brisk_compare_bench reads
# into DIR (default /tmp/brisk-compare-bench), so the real command can be
# timed on the same files:
#   bench/make_compare_fleet.sh build/cmpbench /tmp/fleet
#   taskset -c 0 /usr/bin/time -v build/cmpbench/src/app/brisk compare \
#     /tmp/fleet/fleet*.json > /dev/null
set -eu
build=${1:?usage: make_compare_fleet.sh BUILD_DIR [DIR]}
dir=${2:-/tmp/brisk-compare-bench}
"$build/bench/brisk_compare_bench" --make-fleet --fleet-dir="$dir"
