#!/usr/bin/env bash
# Local demo databases for a first migration: a PostgreSQL 15 server on 127.0.0.1 that holds the
# emulated Oracle source (database ora_src, owner skerrow_src) and serves as the PostgreSQL
# target, with the unixODBC files that reach both (data sources ORA_EMUL and PostgreSQL_Test).
#
#   demo.sh start    start the server (does nothing more when it runs already) and load the
#                    emulated source into it once; prints the connection strings
#   demo.sh stop     stop the server and remove its data
#   demo.sh status   whether it runs, where, the connection strings, and the login of the
#                    new database the wizard makes there with a ready psql command
#   demo.sh env      the shell exports that point the wizard at the demo's data sources
#
# It lives in ${XDG_DATA_HOME:-$HOME/.local/share}/skerrow-demo (SKERROW_DEMO_DIR overrides).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SKERROW_BUILD_DIR:-$root/build}
dir=${SKERROW_DEMO_DIR:-${XDG_DATA_HOME:-$HOME/.local/share}/skerrow-demo}
pg_bin=${SKERROW_PG_BIN:-/usr/lib/postgresql/15/bin}
fixture=$root/tests/fixtures/oracle_emulation.sql
settings_tool=$build/tools/skerrow_demo_settings
# The test bed script reads its superuser password from here; the demo keeps its own.
export SKERROW_PG_PASSWORD=skerrow_demo

log() { echo "demo: $*"; }

usage() {
    echo "usage: $0 start|stop|status|env" >&2
    exit 2
}

# psql as the superuser over TCP, with the server's address from testbed.env.
demo_psql() {
    (
        set -a
        # shellcheck disable=SC1091
        . "$dir/testbed.env"
        set +a
        "$pg_bin/psql" -X -q -v ON_ERROR_STOP=1 "$@"
    )
}

running() {
    [ -f "$dir/testbed.env" ] || return 1
    local port
    port=$(sed -n 's/^PGPORT=//p' "$dir/testbed.env")
    [ -n "$port" ] && "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$port"
}

# The server outlives this script, so it must not hold on to descriptors the caller handed down
# (a build lock taken with flock, say): they are closed before the server starts.
without_inherited_fds() {
    (
        local fd
        for fd in /proc/self/fd/*; do
            fd=${fd##*/}
            case $fd in 0 | 1 | 2 | 255) continue ;; esac
            eval "exec $fd>&-" 2>/dev/null || true
        done
        "$@"
    )
}

print_strings() {
    if [ -x "$settings_tool" ]; then
        "$settings_tool" strings "$dir" | sed 's/^/demo: /'
    else
        log "source: data source ORA_EMUL, user skerrow_src, password src_pass"
        log "target: data source PostgreSQL_Test, administrator postgres, password" \
            "$SKERROW_PG_PASSWORD"
    fi
    log "the wizard needs: $(print_env | grep ODBC | tr '\n' ' ')"
}

print_env() {
    echo "export SKERROW_DEMO_DIR=$dir"
    echo "export ODBCSYSINI=$dir"
    echo "export ODBCINI=$dir/odbc.ini"
}

load_source() {
    local exists
    exists=$(demo_psql -d postgres -tAc "SELECT 1 FROM pg_database WHERE datname = 'ora_src'")
    if [ "$exists" = 1 ] &&
        [ "$(demo_psql -d ora_src -tAc "SELECT to_regclass('ora_meta.settings') IS NOT NULL")" = t ]; then
        log "emulated Oracle source already loaded (database ora_src)"
        return 0
    fi
    [ "$exists" = 1 ] || demo_psql -d postgres -c 'CREATE DATABASE ora_src'
    log "loading the emulated Oracle source into database ora_src"
    demo_psql -d ora_src -f "$fixture" >/dev/null
}

start() {
    if [ ! -f "$fixture" ]; then
        echo "demo: missing $fixture" >&2
        exit 1
    fi
    mkdir -p "$dir"
    without_inherited_fds bash "$root/scripts/testbed.sh" start "$dir" |
        sed 's/^testbed: /demo: server /'
    load_source
    log "running in $dir"
    print_strings
}

# The database step 5 of the wizard creates on the demo server, and how to look into it.
print_target() {
    local port user password
    port=$(sed -n 's/^PGPORT=//p' "$dir/testbed.env")
    user=demo_target
    password=demo_pass
    if [ -x "$settings_tool" ]; then
        { IFS= read -r user && IFS= read -r password; } < <("$settings_tool" target) || true
    fi
    log "new database: $user, owner $user, password $password (made at step 5 of the wizard)"
    log "psql: PGPASSWORD=$(printf %q "$password") $pg_bin/psql -h 127.0.0.1 -p $port" \
        "-U $(printf %q "$user") -d $(printf %q "$user")"
}

status() {
    if running; then
        log "running on 127.0.0.1:$(sed -n 's/^PGPORT=//p' "$dir/testbed.env") ($dir)"
        print_strings
        print_target
        log "it runs until: bash scripts/demo.sh stop"
    else
        log "not running ($dir)"
        return 3
    fi
}

[ $# -eq 1 ] || usage
case $1 in
start) start ;;
stop)
    bash "$root/scripts/testbed.sh" stop "$dir" | sed 's/^testbed: /demo: server /'
    ;;
status) status ;;
env) print_env ;;
*) usage ;;
esac
