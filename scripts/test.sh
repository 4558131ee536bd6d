#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: unit, database (against a throwaway
# PostgreSQL server that the tests start and stop) and window tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
echo "test: running ctest"
cd "$build"
ctest --output-on-failure --no-tests=error "$@"
