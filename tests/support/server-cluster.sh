#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests of the server diary, reached only through a Unix socket in its folder.
#   start: makes the cluster in <folder>/data (superuser postgres, UTF-8, trust for the local socket), starts it
#          listening on <folder>/.s.PGSQL.5432 and waits until it takes connections; a server or files left in
#          <folder> by an earlier, killed run are stopped and wiped first.
#   stop:  stops the server and removes <folder>.
#   pause: stops the server, keeping its cluster; resume starts it again, for tests of a server that goes away.
# As root the server runs as the user postgres, since it refuses to run as root.
# Usage: server-cluster.sh start|stop|pause|resume <folder>
set -euo pipefail

fail() {
    echo "server-cluster.sh: $*" >&2
    exit 1
}

[ $# -eq 2 ] || fail "usage: server-cluster.sh start|stop|pause|resume <folder>"
action=$1
dir=$2
data=$dir/data
port=5432
marker=$dir/.chronoteka-server

# The folder goes unquoted into postgresql.conf, and the socket's path is limited to 107 bytes.
[[ $dir =~ ^/[A-Za-z0-9._/-]+$ ]] || fail "the folder must be an absolute path of letters, digits and ._-/: $dir"
[ $((${#dir} + ${#port} + 10)) -le 107 ] || fail "the folder is too long for a Unix socket: $dir"

# The caller's PG* variables (PGDATA, PGPORT, PGHOST, PGOPTIONS, ...) would change which server is meant.
while read -r name; do unset "$name"; done < <(compgen -e | grep '^PG' || true)

# The server's programs: pg_config's (libpq-dev), else the newest of Debian's installed servers, else the PATH.
bindir=$(pg_config --bindir 2>/dev/null || true)
if [ ! -x "$bindir/initdb" ]; then
    bindir=$(find /usr/lib/postgresql -mindepth 2 -maxdepth 2 -name bin 2>/dev/null | sort -V | tail -n1)
fi
if [ ! -x "$bindir/initdb" ]; then
    bindir=$(dirname "$(command -v initdb 2>/dev/null || echo /nonexistent/initdb)")
fi
[ -x "$bindir/initdb" ] || fail "no PostgreSQL server found (install the Debian package postgresql)"

if [ "$(id -u)" -eq 0 ]; then
    id postgres >/dev/null 2>&1 || fail "running as root needs the user postgres, which Debian's postgresql makes"
    as_owner() { runuser -u postgres -- "$@"; }
else
    as_owner() { "$@"; }
fi

# Whether the process runs: a zombie, which a container's first process may never reap, is not running.
running() {
    [ -e "/proc/$1" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != Z ]
}

# Stops a server running on the folder, if any, and removes the folder; a folder this script did not make is left
# alone unless it is empty.
remove_cluster() {
    [ -e "$dir" ] || return 0
    if [ ! -e "$marker" ] && [ -n "$(ls -A "$dir")" ]; then
        fail "$dir exists and is not a test cluster; not removing it"
    fi
    local pid=""
    [ -r "$data/postmaster.pid" ] && pid=$(head -n1 "$data/postmaster.pid")
    # After a reboot the number may belong to another process: only a postgres of this data folder is stopped.
    if [[ $pid =~ ^[0-9]+$ ]] && grep -qaF -- "$data" "/proc/$pid/cmdline" 2>/dev/null; then
        if ! (cd "$dir" && as_owner "$bindir/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null); then
            kill -KILL "$pid" || true
            for _ in $(seq 300); do
                running "$pid" || break
                sleep 0.1
            done
            ! running "$pid" || fail "the server $pid on $dir does not stop"
        fi
    fi
    rm -rf "$dir"
}

start_cluster() {
    remove_cluster
    mkdir -m 755 "$dir"
    touch "$marker"
    [ "$(id -u)" -ne 0 ] || chown postgres: "$dir"
    cd "$dir"
    as_owner "$bindir/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 --auth-local=trust \
        --auth-host=reject --no-sync --no-instructions >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; fail "initdb failed"; }
    # No TCP at all; durability is worth nothing to a cluster that is thrown away after the run.
    cat >>"$data/postgresql.conf" <<EOF
listen_addresses = ''
port = $port
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
    as_owner "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start >/dev/null ||
        { cat "$dir/server.log" >&2; fail "the server did not start"; }
    "$bindir/pg_isready" -q -h "$dir" -p "$port" -t 30 ||
        { cat "$dir/server.log" >&2; fail "the server takes no connections"; }
    echo "$("$bindir/postgres" -V) ready: host=$dir port=$port user=postgres"
}

case $action in
start) start_cluster ;;
stop) remove_cluster ;;
pause) (cd "$dir" && as_owner "$bindir/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null) ;;
resume) (cd "$dir" && as_owner "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start >/dev/null) ;;
*) fail "usage: server-cluster.sh start|stop|pause|resume <folder>" ;;
esac
