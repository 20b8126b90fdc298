#!/usr/bin/env bash
# Builds brisk for Linux (release, the program only) and runs it. Every
# argument goes to brisk: `./run.sh -d 5 -s 64`. Missing Debian packages are
# installed first; a second call rebuilds only what changed.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
source scripts/ensure_packages.sh
ensure_packages cmake g++ make libfmt-dev nlohmann-json3-dev libjs-dygraphs help2man libboost-math-dev

cmake --preset linux-app >/dev/null
cmake --build --preset linux-app -j"$(nproc)"
exec ./build/app/src/app/brisk "$@"
