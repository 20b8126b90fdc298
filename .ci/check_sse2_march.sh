#!/usr/bin/env bash
# Checks that the sse2 solver stays free of AVX when a packager builds the
# whole program for a newer processor.
#
#   check_sse2_march.sh <source-dir> <build-dir> [extra CXXFLAGS, default -march=haswell]
#
# Configures <build-dir> with the extra flags in CMAKE_CXX_FLAGS (no tests, no
# benchmarks), builds the brisk program (and with it the solver library), and
# runs check_sse2_objects.sh on it. Before that it makes sure the flags really
# reached the compiler: objects outside the solver must hold VEX code, or the
# check below would prove nothing.
set -euo pipefail

source_dir=${1:?usage: check_sse2_march.sh <source-dir> <build-dir> [cxxflags]}
build=${2:?usage: check_sse2_march.sh <source-dir> <build-dir> [cxxflags]}
cxxflags=${3:--march=haswell}
here=$(cd "$(dirname "$0")" && pwd)
jobs=$(nproc)

echo "== configure $build with CMAKE_CXX_FLAGS=$cxxflags"
cmake -S "$source_dir" -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS=$cxxflags" \
  -DBRISK_BUILD_TESTS=OFF -DBRISK_BUILD_BENCH=OFF >/dev/null
echo "== build brisk"
cmake --build "$build" --target brisk -j"$jobs" >/dev/null

echo "== the flags reached the compiler"
canary=0
while IFS= read -r object; do
  if objdump -d "$object" | awk -F'\t' 'NF >= 3 && $3 ~ /^v/ {found = 1} END {exit !found}'; then
    canary=$((canary + 1))
  fi
done < <(find "$build" -type f -name '*.cpp.o' -not -path '*brisk_solver.dir*' | sort)
if ((canary == 0)); then
  echo "FAIL: no object outside the solver holds VEX code: '$cxxflags' did not reach the compiler"
  exit 1
fi
echo "ok   $canary objects outside the solver hold VEX code"

bash "$here/check_sse2_objects.sh" "$build"
