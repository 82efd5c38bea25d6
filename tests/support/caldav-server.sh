#!/usr/bin/env bash
# A private CalDAV server for the tests of calendar sync, Radicale or Xandikos, on a free TCP port of 127.0.0.1
# with its storage in the folder.
#   start: wipes what an earlier, killed run left in <folder>, starts the server, waits until it answers and makes
#          one empty calendar collection for the tests. It writes, each on one line of a file in <folder>:
#            base-url      the server's root, http://127.0.0.1:<port>/ (https with a certificate)
#            port          the port
#            calendar-url  the collection's URL, ending in /
#            user          the user name, and password its password
#   stop:  stops the server and removes <folder>.
#   pause: stops the server, keeping its storage; resume starts it again on the same port, for tests of a server
#          that goes away mid-sync.
# start takes, for Radicale only, a certificate and its key (PEM files): the server then speaks TLS alone, and its
# base-url and calendar-url are https.
# Radicale asks for the user and password (plain htpasswd) and lets a user reach only the collections under its
# own name. Xandikos has no authentication of its own (it is meant to sit behind a web server that has one): it
# answers anyone, whatever password is sent, and the user and password files only name what clients send.
# Neither server refuses to run as root, so they run as the caller.
# Usage: caldav-server.sh start|stop|pause|resume <folder> radicale|xandikos [<certificate> <key>]
set -euo pipefail

fail() {
    echo "caldav-server.sh: $*" >&2
    exit 1
}

usage="usage: caldav-server.sh start|stop|pause|resume <folder> radicale|xandikos [<certificate> <key>]"
[ $# -eq 3 ] || [ $# -eq 5 ] || fail "$usage"
action=$1
dir=$2
kind=$3
certificate=${4:-}
key=${5:-}
scheme=http
if [ -n "$certificate" ]; then
    [ "$action" = start ] && [ "$kind" = radicale ] || fail "only Radicale is started with a certificate"
    [ -r "$certificate" ] && [ -r "$key" ] || fail "cannot read the certificate $certificate or its key $key"
    scheme=https
fi
marker=$dir/.chronoteka-caldav
user=chronoteka
password=test-password
# The servers' own Python, whatever python3 comes first in the PATH.
python=/usr/bin/python3

[[ $dir =~ ^/[A-Za-z0-9._/-]+$ ]] || fail "the folder must be an absolute path of letters, digits and ._-/: $dir"
case $kind in
radicale | xandikos) ;;
*) fail "$usage" ;;
esac
command -v "$kind" >/dev/null || fail "$kind is not installed (install the Debian package $kind)"

# Whether the process runs: a zombie, which a container's first process may never reap, is not running.
running() {
    [ -e "/proc/$1" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != Z ]
}

# Stops the server of the folder, if any. After a reboot the number in the pid file may belong to another process:
# only a process whose command line names this folder is stopped.
stop_server() {
    local pid=""
    [ -r "$dir/pid" ] && pid=$(cat "$dir/pid")
    if [[ $pid =~ ^[0-9]+$ ]] && grep -qaF -- "$dir/" "/proc/$pid/cmdline" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 100); do
            running "$pid" || break
            sleep 0.1
        done
        if running "$pid"; then
            kill -KILL "$pid" 2>/dev/null || true
            for _ in $(seq 100); do
                running "$pid" || break
                sleep 0.1
            done
        fi
        ! running "$pid" || fail "the server $pid on $dir does not stop"
    fi
    rm -f "$dir/pid"
}

# Removes the folder after stopping its server; a folder this script did not make is left alone unless it is empty.
remove_folder() {
    [ -e "$dir" ] || return 0
    if [ ! -e "$marker" ] && [ -n "$(ls -A "$dir")" ]; then
        fail "$dir exists and is not a test server's folder; not removing it"
    fi
    stop_server
    rm -rf "$dir"
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

# Sends one request with the test user's password and prints the status; a server that does not answer prints 0.
# The server's certificate is not checked: the request only asks whether it is up.
# Usage: request <method> <url> [<body>]
request() {
    "$python" - "$@" "$user" "$password" <<'EOF'
import base64, ssl, sys, urllib.error, urllib.request
method, url = sys.argv[1], sys.argv[2]
body = sys.argv[3].encode() if len(sys.argv) > 5 else None
user, password = sys.argv[-2], sys.argv[-1]
req = urllib.request.Request(url, data=body, method=method)
req.add_header("Authorization", "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode())
req.add_header("Depth", "0")
if body is not None:
    req.add_header("Content-Type", "application/xml; charset=utf-8")
try:
    with urllib.request.urlopen(req, timeout=5, context=ssl._create_unverified_context()) as answer:
        print(answer.status)
except urllib.error.HTTPError as error:
    print(error.code)
except OSError:
    print(0)
EOF
}

# Starts the server in the background on the port in <folder>/port, its output in <folder>/server.log, and waits
# until it answers on its root. The server leaves the caller's process group and output, so that ctest, which
# waits for the output of the test that started it, does not wait for the server too.
run_server() {
    local port
    port=$(cat "$dir/port")
    local command
    case $kind in
    radicale) command=(radicale --config "$dir/radicale.conf") ;;
    xandikos) command=(xandikos -d "$dir/storage/" --autocreate --current-user-principal "/$user/"
        -l 127.0.0.1 -p "$port") ;;
    esac
    setsid "${command[@]}" </dev/null >>"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"
    local status
    for _ in $(seq 300); do
        running "$(cat "$dir/pid")" || return 1
        status=$(request PROPFIND "$(cat "$dir/base-url")")
        [ "$status" = 0 ] || return 0
        sleep 0.1
    done
    return 1
}

start_server() {
    remove_folder
    mkdir -p "$dir/storage"
    touch "$marker"
    echo "$user:$password" >"$dir/users"
    local port attempt
    # A port another program takes between the choice and the start fails the start: another one is tried then.
    for attempt in 1 2 3 4 5; do
        port=$(free_port)
        echo "$port" >"$dir/port"
        echo "$scheme://127.0.0.1:$port/" >"$dir/base-url"
        if [ "$kind" = radicale ]; then
            local tls=""
            [ -z "$certificate" ] || tls=$(printf 'ssl = True\ncertificate = %s\nkey = %s' "$certificate" "$key")
            cat >"$dir/radicale.conf" <<EOF
[server]
hosts = 127.0.0.1:$port
$tls
[auth]
type = htpasswd
htpasswd_filename = $dir/users
htpasswd_encryption = plain
delay = 0
[rights]
type = owner_only
[storage]
filesystem_folder = $dir/storage
[logging]
level = warning
EOF
        fi
        : >"$dir/server.log"
        run_server && break
        stop_server
        if [ "$attempt" -eq 5 ] || ! grep -qi 'address already in use\|errno 98' "$dir/server.log"; then
            cat "$dir/server.log" >&2
            fail "$kind did not start"
        fi
    done
    local base=$scheme://127.0.0.1:$port/ calendar
    case $kind in
    radicale) calendar=$base$user/tests/ ;;
    xandikos) calendar=${base}$user/calendars/tests/ ;;
    esac
    local status
    status=$(request MKCALENDAR "$calendar" '<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<D:displayname>Tests</D:displayname>
<C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="VTODO"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>')
    [ "$status" = 201 ] || { cat "$dir/server.log" >&2; fail "$kind made no calendar at $calendar (status $status)"; }
    echo "$calendar" >"$dir/calendar-url"
    echo "$user" >"$dir/user"
    echo "$password" >"$dir/password"
    echo "$kind $("$kind" --version 2>/dev/null | awk '{print $NF}') ready: $calendar user=$user"
}

case $action in
start) start_server ;;
stop) remove_folder ;;
pause) stop_server ;;
resume)
    [ -e "$marker" ] || fail "$dir is not a test server's folder"
    run_server || { cat "$dir/server.log" >&2; fail "$kind did not start again"; }
    ;;
*) fail "$usage" ;;
esac
