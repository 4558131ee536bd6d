#!/usr/bin/env bash
# Configures and builds Skerrow into build/ (at most two compile jobs).
#
#   scripts/build.sh [TARGET...]     everything, or only the named targets (and what they need)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
echo "build: configuring $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=()
for t in "$@"; do targets+=(--target "$t"); done
echo "build: compiling ${*:-everything}"
cmake --build "$build" -j "${SKERROW_JOBS:-2}" "${targets[@]}"
