#!/usr/bin/env bash
# Installs what is missing, builds and starts the wizard.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
echo "run: starting $build/src/skerrow"
cd "$root"
exec "$build/src/skerrow" "$@"
