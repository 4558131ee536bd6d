#!/usr/bin/env bash
# Loads the data of the copy benchmark into a running test bed: the Oracle dictionary emulation
# (database ora_src) and the four benchmark tables described in it (bench/copy_bench_data.sql).
# Reads the test bed from the environment that `scripts/testbed.sh env DIR` prints.
#
#   bench/prepare_copy_bench.sh            1,000,000 / 2,000,000 / 200,000 / 12 rows
#   bench/prepare_copy_bench.sh --quick    ten times fewer (HUGE keeps its 12 rows of 50 MB)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scale=1
if [ "${1:-}" = "--quick" ]; then scale=10; fi
if [ -z "${PGPORT:-}" ]; then
    echo "prepare: no test bed in the environment (eval \"\$(bash scripts/testbed.sh env DIR)\")" >&2
    exit 2
fi

echo "bench: loading the dictionary emulation and the benchmark tables (scale 1/$scale)"
start=$(date +%s)
if [ -z "$(psql -X -At -d postgres -c "SELECT 1 FROM pg_database WHERE datname = 'ora_src'")" ]; then
    psql -X -q -d postgres -c 'CREATE DATABASE ora_src'
fi
psql -X -q -d ora_src -f "$root/tests/fixtures/oracle_emulation.sql" >/dev/null
psql -X -q -d ora_src -v wide_rows=$((1000000 / scale)) -v narrow_rows=$((2000000 / scale)) \
    -v blob_rows=$((200000 / scale)) -v huge_rows=12 -f "$root/bench/copy_bench_data.sql" >/dev/null
echo "bench: data ready in $(($(date +%s) - start)) s"
