#!/usr/bin/env bash
# One command for the table read benchmark: starts a test bed of its own, builds read_bench,
# runs it and stops the test bed again.  Usage: bench/run_read_bench.sh [rows]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
testbed=$build/testbed-bench

echo "bench: configuring and building read_bench in $build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${SKERROW_JOBS:-2}" --target read_bench

bash "$root/scripts/testbed.sh" start "$testbed"
trap 'bash "$root/scripts/testbed.sh" stop "$testbed"' EXIT
eval "$(bash "$root/scripts/testbed.sh" env "$testbed")"
"$build/bench/read_bench" "$@"
