#!/usr/bin/env bash
# A throwaway PostgreSQL 15 server for the database tests, plus the unixODBC configuration that
# reaches it.
#
#   testbed.sh start DIR   create and start the cluster (does nothing more when it runs already)
#   testbed.sh stop DIR    stop it and remove its data
#   testbed.sh env DIR     print the shell exports that point a program at it
#   testbed.sh crash DIR   stop the server at once, as a power cut would (data stays)
#   testbed.sh revive DIR  start it again after a crash, on the same port and data
#
# DIR receives odbcinst.ini, odbc.ini (with every DIR/odbc.d/*.ini appended, so fixtures can add
# data sources) and testbed.env. The Oracle emulation (tests/fixtures/oracle_emulation.sql, in
# database ora_src) is reached through ORA_EMUL, through ORA_EMUL_RU in its second mode (the
# session answers as Oracle's driver does under a Russian client) and through ORA_EMUL_REAL,
# which holds the login of owner skerrow_real itself. The server listens on 127.0.0.1 only, on a free port, with
# password logins (scram-sha-256) for superuser "postgres".
set -euo pipefail

pg_bin=${SKERROW_PG_BIN:-/usr/lib/postgresql/15/bin}
odbc_lib=${SKERROW_ODBC_LIB:-/usr/lib/x86_64-linux-gnu/odbc}
password=${SKERROW_PG_PASSWORD:-skerrow_test}

usage() {
    echo "usage: $0 start|stop|env|crash|revive DIR" >&2
    exit 2
}

[ $# -eq 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)

as_root=0
if [ "$(id -u)" -eq 0 ]; then as_root=1; fi

# The server refuses to run as root, so as root every server command runs as "postgres".
as_pg() {
    if [ $as_root -eq 1 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

log() { echo "testbed: $*"; }

# Where the cluster lives: DIR/data, unless user postgres cannot reach DIR (a clone under /root),
# then a folder under /tmp. The choice is recorded in DIR/pg_base so that stop finds it.
base_file=$dir/pg_base

recorded_base() {
    if [ -f "$base_file" ]; then cat "$base_file"; fi
}

running() {
    local base=$1
    [ -n "$base" ] && [ -f "$base/data/PG_VERSION" ] &&
        as_pg "$pg_bin/pg_ctl" -D "$base/data" status >/dev/null 2>&1
}

port_in_use() {
    [ -n "$(ss -Htln "sport = :$1" 2>/dev/null)" ]
}

free_port() {
    local port i
    for i in $(seq 1 200); do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        if ! port_in_use "$port"; then
            echo "$port"
            return 0
        fi
    done
    echo "testbed: no free port found" >&2
    return 1
}

write_odbc_files() {
    local port=$1
    cat >"$dir/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Description = PostgreSQL ODBC driver (Unicode)
Driver = $odbc_lib/psqlodbcw.so
Setup = $odbc_lib/libodbcpsqlS.so
UsageCount = 1

[PostgreSQL ANSI]
Description = PostgreSQL ODBC driver (ANSI)
Driver = $odbc_lib/psqlodbca.so
Setup = $odbc_lib/libodbcpsqlS.so
UsageCount = 1
EOF
    local common="Servername = 127.0.0.1
Port = $port
Username = postgres
Password = $password
SSLmode = disable"
    # A data source that carries its own login, for connection strings without a user name.
    local login_real="Servername = 127.0.0.1
Port = $port
Username = skerrow_real
Password = real_pass
SSLmode = disable"
    {
        cat <<EOF
[PostgreSQL_Test]
Description = Test bed, whole results
Driver = PostgreSQL Unicode
$common
Database = postgres
UseDeclareFetch = 0

[PostgreSQL_Stream]
Description = Test bed, results streamed through a cursor
Driver = PostgreSQL Unicode
$common
Database = postgres
UseDeclareFetch = 1
Fetch = 10000

[ORA_EMUL]
Description = Test bed, Oracle dictionary emulation
Driver = PostgreSQL Unicode
$common
Database = ora_src
UseDeclareFetch = 1
Fetch = 10000

[ORA_EMUL_RU]
Description = Test bed, Oracle dictionary emulation answering as Oracle's driver under a Russian client
Driver = PostgreSQL Unicode
$common
Database = ora_src
UseDeclareFetch = 1
Fetch = 10000
ConnSettings = SELECT ora_meta.nls_russian()

[ORA_EMUL_REAL]
Description = Test bed, Oracle dictionary emulation with the credentials of owner skerrow_real
Driver = PostgreSQL Unicode
$login_real
Database = ora_src
UseDeclareFetch = 1
Fetch = 10000

[ORA_PG]
Description = Test bed, a data source with an Oracle-like name on the main database
Driver = PostgreSQL Unicode
$common
Database = postgres
UseDeclareFetch = 0
EOF
        local extra
        for extra in "$dir"/odbc.d/*.ini; do
            [ -f "$extra" ] || continue
            echo
            cat "$extra"
        done
    } >"$dir/odbc.ini"
    local sock=$2
    cat >"$dir/testbed.env" <<EOF
PGHOST=127.0.0.1
PGPORT=$port
PGUSER=postgres
PGPASSWORD=$password
PGDATABASE=postgres
SKERROW_PG_PORT=$port
SKERROW_PG_SOCKET_DIR=$sock
EOF
}

choose_base() {
    local base=$dir
    if [ $as_root -eq 1 ]; then
        chown postgres: "$base"
        if ! runuser -u postgres -- test -w "$base"; then
            base=$(mktemp -d /tmp/skerrow-testbed.XXXXXX)
            chown postgres: "$base"
        fi
    fi
    echo "$base" >"$base_file"
    echo "$base"
}

start() {
    local base port
    base=$(recorded_base)
    if running "$base"; then
        port=$(sed -n 's/^port = \([0-9]*\).*/\1/p' "$base/data/postgresql.auto.conf" | tail -n1)
        local sock=$base
        if [ -f "$base/socket_dir" ]; then sock=$(cat "$base/socket_dir"); fi
        write_odbc_files "$port" "$sock"
        log "already running on 127.0.0.1:$port ($base/data)"
        return 0
    fi
    remove_cluster "$base"
    base=$(choose_base)
    local data=$base/data
    # Unix socket paths are limited to about 100 bytes.
    local sock=$base
    if [ ${#sock} -gt 80 ]; then
        sock=$(mktemp -d /tmp/skerrow-sock.XXXXXX)
        [ $as_root -eq 0 ] || chown postgres: "$sock"
        echo "$sock" >"$base/socket_dir"
    fi

    log "initdb in $data"
    local pwfile=$base/pwfile
    echo "$password" >"$pwfile"
    [ $as_root -eq 0 ] || chown postgres: "$pwfile"
    as_pg "$pg_bin/initdb" -D "$data" -U postgres --pwfile="$pwfile" -E UTF8 --locale=C.UTF-8 \
        --auth-local=trust --auth-host=scram-sha-256 >"$base/initdb.log" 2>&1 || {
        cat "$base/initdb.log" >&2
        return 1
    }
    rm -f "$pwfile"

    local attempt
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        # Speed over durability: the cluster is thrown away after the run.
        cat >"$data/postgresql.auto.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$sock'
password_encryption = 'scram-sha-256'
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 100
EOF
        [ $as_root -eq 0 ] || chown postgres: "$data/postgresql.auto.conf"
        if as_pg "$pg_bin/pg_ctl" -D "$data" -l "$base/server.log" -w -t 60 start >/dev/null; then
            write_odbc_files "$port" "$sock"
            log "running on 127.0.0.1:$port ($data)"
            return 0
        fi
        # Another server may have taken the port between the probe and the start.
        log "start on port $port failed (attempt $attempt)"
        tail -n 5 "$base/server.log" >&2 || true
    done
    return 1
}

stop() {
    local base
    base=$(recorded_base)
    if [ -z "$base" ]; then
        log "not running"
        return 0
    fi
    if running "$base"; then
        as_pg "$pg_bin/pg_ctl" -D "$base/data" -m fast -w stop >/dev/null
        log "stopped"
    fi
    remove_cluster "$base"
}

remove_cluster() {
    local base=${1:-$dir}
    if [ -f "$base/data/postmaster.pid" ]; then
        as_pg "$pg_bin/pg_ctl" -D "$base/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    if [ -f "$base/socket_dir" ]; then
        rm -rf "$(cat "$base/socket_dir")"
    fi
    rm -rf "$base/data" "$base/socket_dir" "$base/server.log" "$base/initdb.log"
    if [ "$base" != "$dir" ]; then
        rm -rf "$base"
    fi
    rm -f "$base_file" "$dir/testbed.env"
}

crash() {
    local base
    base=$(recorded_base)
    running "$base" || { log "not running"; return 1; }
    as_pg "$pg_bin/pg_ctl" -D "$base/data" -m immediate -w stop >/dev/null
    log "crashed"
}

revive() {
    local base
    base=$(recorded_base)
    [ -n "$base" ] && [ -f "$base/data/PG_VERSION" ] || { log "no cluster to revive"; return 1; }
    running "$base" && return 0
    as_pg "$pg_bin/pg_ctl" -D "$base/data" -l "$base/server.log" -w -t 60 start >/dev/null
    log "revived"
}

print_env() {
    if [ ! -f "$dir/testbed.env" ]; then
        echo "testbed: not started in $dir" >&2
        return 1
    fi
    sed 's/^/export /' "$dir/testbed.env"
    echo "export SKERROW_TESTBED=$dir"
    echo "export ODBCSYSINI=$dir"
    echo "export ODBCINI=$dir/odbc.ini"
}

case $action in
start) start ;;
stop) stop ;;
env) print_env ;;
crash) crash ;;
revive) revive ;;
*) usage ;;
esac
