#!/usr/bin/env bash
# Installs what is missing, builds and starts the wizard.
#
# On a first start (no settings yet), and as long as the settings still lead to the demo, the
# local demo databases (scripts/demo.sh) are started as well and the wizard is pointed at their
# data sources; a first start also fills the wizard's connection strings for them.
# SKERROW_NO_DEMO=1 leaves the demo out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
export SKERROW_BUILD_DIR=$build
bash "$root/scripts/setup.sh"
# The wizard (with its help pages) and the demo's settings helper; the tests and the other tools
# are built by scripts/test.sh.
bash "$root/scripts/build.sh" skerrow skerrow_demo_settings

settings_tool=$build/tools/skerrow_demo_settings
if [ "${SKERROW_NO_DEMO:-0}" = 1 ]; then
    echo "run: demo left out (SKERROW_NO_DEMO=1)"
elif [ ! -x "$settings_tool" ]; then
    echo "run: no $settings_tool, starting without the demo"
else
    state=$("$settings_tool" state)
    if [ "$state" = own ]; then
        echo "run: own settings found, starting without the demo"
    elif bash "$root/scripts/demo.sh" start; then
        eval "$(bash "$root/scripts/demo.sh" env)"
        if [ "$state" = none ]; then
            "$settings_tool" write "$SKERROW_DEMO_DIR"
        else
            "$settings_tool" refresh "$SKERROW_DEMO_DIR"
        fi
        echo "run: wizard uses the demo's data sources (stop it with: bash scripts/demo.sh stop)"
    else
        echo "run: the demo did not start, starting without it" >&2
    fi
fi

echo "run: starting $build/src/skerrow"
cd "$root"
exec "$build/src/skerrow" "$@"
