#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests of the server diary, reached through a Unix socket in its folder and
# through TCP on 127.0.0.1.
#   start: makes the cluster in <folder>/data (superuser postgres, UTF-8, trust for the local socket and for
#          127.0.0.1), starts it listening on <folder>/.s.PGSQL.5432 and on a free TCP port of 127.0.0.1, and waits
#          until it takes connections; a server or files left in <folder> by an earlier, killed run are stopped and
#          wiped first. The TCP port is the server's port setting (SHOW port), also written to <folder>/tcp-port.
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
# The port of the socket every caller names. PostgreSQL has one port for the socket and TCP: the server's is the
# TCP port, and its socket is linked under this number.
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
    # Trust on 127.0.0.1 as on the socket: the cluster is thrown away after the run and holds nothing.
    as_owner "$bindir/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 --auth-local=trust \
        --auth-host=trust --no-sync --no-instructions >"$dir/initdb.log" 2>&1 ||
        { cat "$dir/initdb.log" >&2; fail "initdb failed"; }
    # Durability is worth nothing to a cluster that is thrown away after the run.
    cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
port = 0
EOF
    # A port another program takes between the choice and the start fails the start: another one is tried then.
    local tcp_port attempt
    for attempt in 1 2 3 4 5; do
        tcp_port=$(free_port)
        as_owner sed -i "s/^port = [0-9]*\$/port = $tcp_port/" "$data/postgresql.conf"
        [ ! -e "$dir/server.log" ] || : >"$dir/server.log"
        as_owner "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start >/dev/null && break
        if [ "$attempt" -eq 5 ] || ! grep -q 'could not create any TCP/IP sockets' "$dir/server.log"; then
            cat "$dir/server.log" >&2
            fail "the server did not start"
        fi
    done
    [ "$tcp_port" -eq "$port" ] || as_owner ln -s ".s.PGSQL.$tcp_port" "$dir/.s.PGSQL.$port"
    echo "$tcp_port" >"$dir/tcp-port"
    "$bindir/pg_isready" -q -h "$dir" -p "$port" -t 30 && "$bindir/pg_isready" -q -h 127.0.0.1 -p "$tcp_port" -t 30 ||
        { cat "$dir/server.log" >&2; fail "the server takes no connections"; }
    echo "$("$bindir/postgres" -V) ready: host=$dir port=$port user=postgres; tcp: host=127.0.0.1 port=$tcp_port"
}

# A TCP port of 127.0.0.1 that no socket holds, below the range the kernel hands out to outgoing connections, so
# that none of those takes it while the server is paused.
free_port() {
    local used=" " local_address candidate
    while read -r _ local_address _; do
        [[ $local_address =~ :([0-9A-F]{4})$ ]] && used+="$((16#${BASH_REMATCH[1]})) "
    done < <(cat /proc/net/tcp /proc/net/tcp6 2>/dev/null)
    for _ in $(seq 100); do
        candidate=$((20000 + RANDOM % 12000))
        [[ $used == *" $candidate "* ]] || {
            echo "$candidate"
            return
        }
    done
    fail "no free TCP port found"
}

case $action in
start) start_cluster ;;
stop) remove_cluster ;;
pause) (cd "$dir" && as_owner "$bindir/pg_ctl" -D "$data" -m fast -w -t 30 stop >/dev/null) ;;
resume) (cd "$dir" && as_owner "$bindir/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 60 start >/dev/null) ;;
*) fail "usage: server-cluster.sh start|stop|pause|resume <folder>" ;;
esac
