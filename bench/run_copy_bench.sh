#!/usr/bin/env bash
# One command for the copy benchmark: installs what is missing, builds the benchmark programs
# (Release, in build-bench/), starts a throwaway test bed, loads the Oracle dictionary
# emulation and the benchmark tables into it, runs copy_bench and stops the test bed again.
#
#   bench/run_copy_bench.sh               1,000,000 / 2,000,000 / 200,000 / 12 rows
#   bench/run_copy_bench.sh --quick       ten times fewer rows, for development (HUGE: 12)
#   bench/run_copy_bench.sh --no-wizard   leave out (b), the window driven by its timer
#   bench/run_copy_bench.sh --tables wide,narrow
#   bench/run_copy_bench.sh --runs engine-copy   only some of the copies (see copy_bench.cpp)
#   bench/run_copy_bench.sh --portion-write 10000   rows a portion of (a) holds (default 1000)
#
# SKERROW_BUILD_DIR overrides the build folder, SKERROW_JOBS the build's parallel jobs;
# SKERROW_BENCH_WRAPPER is put before the copy_bench command (a profiler, say:
# SKERROW_BENCH_WRAPPER="perf record -g -o copy.perf --").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build-bench}
testbed=$build/testbed-bench

scale=1
wizard=1
tables=wide,narrow,blobs,huge
runs=()
portion=()
while [ $# -gt 0 ]; do
    case $1 in
    --quick) scale=10 ;;
    --no-wizard) wizard=0 ;;
    --tables)
        tables=$2
        shift
        ;;
    --runs)
        runs=(--runs "$2")
        shift
        ;;
    --portion-write)
        portion=(--portion-write "$2")
        shift
        ;;
    *)
        echo "usage: $0 [--quick] [--no-wizard] [--tables wide,narrow,blobs,huge] [--runs LIST] [--portion-write ROWS]" >&2
        exit 2
        ;;
    esac
    shift
done

bash "$root/scripts/setup.sh"

echo "bench: configuring and building the copy benchmark in $build (Release)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "${SKERROW_JOBS:-2}" --target copy_bench
wizard_args=()
if [ $wizard -eq 1 ]; then
    # The window is optional: without it (a) and (c) still run.
    if cmake --build "$build" -j "${SKERROW_JOBS:-2}" --target copy_wizard_bench; then
        wizard_args=(--wizard "$build/bench/copy_wizard_bench")
    else
        echo "bench: copy_wizard_bench did not build; (b) is left out" >&2
    fi
fi

bash "$root/scripts/testbed.sh" start "$testbed"
trap 'bash "$root/scripts/testbed.sh" stop "$testbed"' EXIT
eval "$(bash "$root/scripts/testbed.sh" env "$testbed")"

quick=()
if [ $scale -ne 1 ]; then quick=(--quick); fi
bash "$root/bench/prepare_copy_bench.sh" "${quick[@]}"

work=$build/copy-bench-work
rm -rf "$work"
mkdir -p "$work"
echo "bench: machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo), load $(cut -d' ' -f1-3 /proc/loadavg)"
${SKERROW_BENCH_WRAPPER:-} "$build/bench/copy_bench" --tables "$tables" --work "$work" \
    "${wizard_args[@]}" "${runs[@]}" "${portion[@]}"
echo "bench: load after the run $(cut -d' ' -f1-3 /proc/loadavg)"
