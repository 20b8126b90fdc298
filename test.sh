#!/usr/bin/env bash
# Builds both builds and runs every test: the Linux build with its unit and
# end-to-end tests, the sse2 checks, the checks on emulated processors, the
# Windows cross build with its unit and end-to-end tests under Wine, and the
# packages, unpacked and run as a user would. Missing Debian packages are
# installed first; a second call rebuilds only what changed. Fails when
# anything fails.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
jobs=$(nproc)

step() { printf '\n==== %s (%ss)\n' "$1" "$SECONDS"; }

step "packages"
source scripts/ensure_packages.sh
ensure_packages cmake g++ make binutils dpkg-dev libfmt-dev libgtest-dev libgmock-dev \
  googletest libbenchmark-dev g++-mingw-w64-x86-64-posix wine64 qemu-user \
  nlohmann-json3-dev libjs-dygraphs help2man man-db python3-jsonschema \
  chromium chromium-driver python3-selenium python3-pil libboost-math-dev python3-scipy clang \
  libfuzzer-14-dev libclang-rt-14-dev lintian

# Wine gets a prefix of its own inside the build tree; whatever wineserver
# this run starts is ended on the way out, pass or fail.
export WINEDEBUG=-all
export WINEPREFIX="$root/build/wineprefix"
wine=/usr/lib/wine/wine64
wine_server=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
cleanup() { "$wine_server" -k >/dev/null 2>&1 || true; }
trap cleanup EXIT

# Every benchmark run saves its results in the history folder: the tests keep
# theirs in the build tree, never in the user's own folders.
export BRISK_RESULTS_DIR="$root/build/test-history/results"
export BRISK_CACHE_DIR="$root/build/test-history/cache"
rm -rf "$root/build/test-history"

step "Linux build"
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j"$jobs"

step "Linux tests"
ctest --preset linux-release -j"$jobs"

step "results files end to end"
/usr/bin/python3 tests/results/check_exports.py --brisk build/linux/src/app/brisk \
  --work build/linux/exports-e2e

step "report page in a real browser (headless Chromium)"
/usr/bin/python3 tests/report/check_report.py --brisk build/linux/src/app/brisk \
  --sample build/linux/tests/report/sample_threads_sweep.html --out build/linux/report-check

step "results reader fuzzing (libFuzzer, 60 s)"
bash .ci/fuzz_results_reader.sh build/linux 60

step "statistics against SciPy"
/usr/bin/python3 tests/compare/check_welch_scipy.py --probe build/linux/tests/compare/brisk_welch_probe

step "brisk compare end to end"
/usr/bin/python3 tests/compare/check_compare.py --brisk build/linux/src/app/brisk \
  --work build/linux/compare-e2e

step "results history end to end"
/usr/bin/python3 tests/history/check_history.py --brisk build/linux/src/app/brisk \
  --work build/linux/history-check

step "comparison pages in a real browser (headless Chromium)"
/usr/bin/python3 tests/report/check_compare_page.py --out build/linux/compare-check \
  build/linux/tests/report/sample_comparison.html build/linux/compare-e2e/c.html

step "sse2 object check"
bash .ci/check_sse2_objects.sh build/linux

step "sse2 check of a -march=haswell build"
bash .ci/check_sse2_march.sh "$root" build/sse2-march

step "emulated processors (qemu): no AVX"
bash .ci/check_emulated_cpu.sh build/linux

step "Windows cross build"
cmake --preset windows-cross >/dev/null
cmake --build --preset windows-cross -j"$jobs"

step "Windows tests under Wine"
mkdir -p "$WINEPREFIX"
"$wine" cmd /c exit >/dev/null 2>&1 || true # create the prefix once, up front
# One server for every Wine process of the run: without it Wine now and then
# drops a program it starts ("wine client error: ... Connection reset by
# peer"). The server keeps Wine's own service processes alive with it, and
# they keep whatever output they inherited open, so they are started here,
# with their output on /dev/null, not by the first test under ctest (which
# would then wait for its output to end, forever).
"$wine_server" -w >/dev/null 2>&1 || true
"$wine_server" -p >/dev/null 2>&1 || true
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
ctest --preset windows-cross

step "Windows end-to-end tests under Wine"
BRISK_EXE="$wine $root/build/windows/src/app/brisk.exe" build/linux/tests/cli/brisk_cli_tests

step "results files end to end under Wine"
/usr/bin/python3 tests/results/check_exports.py --wine \
  --brisk "$wine $root/build/windows/src/app/brisk.exe" --work build/windows/exports-e2e

step "brisk compare end to end under Wine"
/usr/bin/python3 tests/compare/check_compare.py --wine \
  --brisk "$wine $root/build/windows/src/app/brisk.exe" --work build/windows/compare-e2e

step "results history end to end under Wine"
/usr/bin/python3 tests/history/check_history.py --wine \
  --brisk "$wine $root/build/windows/src/app/brisk.exe" --work build/windows/history-check

step "report page of brisk.exe in a real browser"
/usr/bin/python3 tests/report/check_report.py --brisk "$wine $root/build/windows/src/app/brisk.exe" \
  --sample build/windows/tests/report/sample_threads_sweep.html --out build/windows/report-check

step "packages: build"
cmake --workflow --preset linux-package >/dev/null
cmake --workflow --preset windows-package >/dev/null

step "packages: unpacked and run as a user would"
bash .ci/check_packages.sh build/app/packages build/windows/packages "$wine"

step "done"
