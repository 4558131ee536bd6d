#!/usr/bin/env bash
# Takes the README's pictures (docs/*.png) from the real windows: installs what is missing,
# builds, starts a throwaway test bed so that the wizard really checks its connections and reads
# the emulated Oracle source, runs the picture program on the offscreen platform and stops the
# test bed again. Idempotent; prints what it does.
#
#   scripts/screenshots.sh [OUT_DIR]     (default: docs/ of the repository)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
out=${1:-$root/docs}

bash "$root/scripts/setup.sh"
# Only the picture program and what it needs: the test suites are not needed for pictures.
bash "$root/scripts/build.sh" skerrow_screenshots

if command -v fc-list >/dev/null && [ -z "$(fc-list :lang=ru 2>/dev/null)" ]; then
    echo "screenshots: warning: no font with Cyrillic letters; captions will show boxes" >&2
fi

testbed=$build/testbed-shots
trap 'bash "$root/scripts/testbed.sh" stop "$testbed" || true' EXIT
bash "$root/scripts/testbed.sh" start "$testbed"

# The environment the ctest fixture gives the window tests; the program loads the Oracle
# dictionary emulation into the test bed with the same helper they use.
export SKERROW_TESTBED=$testbed
export ODBCSYSINI=$testbed
export ODBCINI=$testbed/odbc.ini
export SKERROW_FIXTURES_DIR=$root/tests/fixtures
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

echo "screenshots: writing into $out"
"$build/tools/skerrow_screenshots" "$out"
echo "screenshots: done"
