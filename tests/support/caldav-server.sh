#!/usr/bin/env bash
# A private CalDAV server for the tests of calendar sync, Radicale, Xandikos, DAViCal, Cyrus IMAP's or SOGo, on a
# free TCP port of 127.0.0.1 with its storage and configuration in the folder.
#   start: wipes what an earlier, killed run left in <folder>, starts the server, waits until it answers and makes
#          one empty calendar collection for the tests. It writes, each on one line of a file in <folder>:
#            base-url      the server's root, http://127.0.0.1:<port>/ (https with a certificate)
#            port          the port
#            calendar-url  the collection's URL, ending in /
#            dav-url       the root of the server's CalDAV, the address its users are told: base-url but for
#                          DAViCal (/caldav.php/) and SOGo (/SOGo/dav/)
#            user          the user name, and password its password
#   stop:  stops the server and removes <folder>.
#   pause: stops the server, keeping its storage; resume starts it again on the same port, for tests of a server
#          that goes away mid-sync.
# start takes, for Radicale only, a certificate and its key (PEM files): the server then speaks TLS alone, and its
# base-url and calendar-url are https.
# Radicale asks for the user and password (plain htpasswd) and lets a user reach only the collections under its
# own name. Xandikos has no authentication of its own (it is meant to sit behind a web server that has one): it
# answers anyone, whatever password is sent, and the user and password files only name what clients send.
# Neither of the two refuses to run as root, so they run as the caller.
# DAViCal is PHP under a private Apache (apache2 -f <folder>/apache.conf, mod_php, no site of the system's), its
# data in a database of its own, named after the folder, on the tests' PostgreSQL server, which
# CHRONOTEKA_TEST_SERVER names as libpq connection info (support/server-cluster.sh). DAViCal reads its configuration
# only from /etc/davical/<server name>-conf.php or /etc/davical/config.php: the private Apache's server name is a
# relative path that leads the first of these into the folder, and the configuration there puts the real name back.
# Its users and passwords are rows of its database. stop drops the database too.
# Cyrus is its master process with a private cyrus.conf and imapd.conf: the CalDAV httpd on the port, and an imapd on
# a Unix socket in the folder only to make the user's mailbox, which Cyrus makes at the user's first IMAP login and
# needs before it serves the user's calendars. The password is checked by SASL against a sasldb file in the folder,
# with no daemon. Cyrus refuses to run as root: as root it runs as the user cyrus, which Debian's package makes.
# SOGo is sogod with every setting it needs on its command line, which outweighs /etc/sogo/sogo.conf, its tables and
# its table of users in a database of its own on the tests' PostgreSQL server, as DAViCal's, and a private memcached
# on a Unix socket in the folder; as root both run as the user sogo. Its CalDAV lies under /SOGo/dav/ (a site's web
# server usually sends /.well-known/caldav there; here nothing does).
# Usage: caldav-server.sh start|stop|pause|resume <folder> radicale|xandikos|davical|cyrus|sogo [<certificate> <key>]
set -euo pipefail

fail() {
    echo "caldav-server.sh: $*" >&2
    exit 1
}

usage="usage: caldav-server.sh start|stop|pause|resume <folder> radicale|xandikos|davical|cyrus|sogo [<certificate> <key>]"
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
radicale | xandikos) command -v "$kind" >/dev/null || fail "$kind is not installed (install the Debian package $kind)" ;;
davical)
    [ -r /usr/share/davical/htdocs/caldav.php ] || fail "DAViCal is not installed (install the Debian package davical)"
    [ -x /usr/sbin/apache2 ] && apache_php=$(find /usr/lib/apache2/modules -name 'libphp*.so' | sort -V | tail -n1) &&
        [ -n "$apache_php" ] || fail "Apache with PHP is not installed (install apache2 and libapache2-mod-php)"
    ;;
cyrus)
    cyrus_bin=/usr/lib/cyrus/bin
    [ -x $cyrus_bin/master ] && [ -x $cyrus_bin/httpd ] ||
        fail "Cyrus IMAP's CalDAV is not installed (install cyrus-imapd and cyrus-caldav)"
    command -v saslpasswd2 >/dev/null || fail "saslpasswd2 is not installed (install the Debian package sasl2-bin)"
    ;;
sogo)
    [ -x /usr/sbin/sogod ] && [ -x /usr/bin/memcached ] || fail "SOGo is not installed (install the Debian package sogo)"
    sogo_workers=8
    ;;
*) fail "$usage" ;;
esac
# Cyrus and SOGo refuse to run as root, and so does memcached; Apache's children run as Debian's www-data then.
as_server=()
owner=""
if [ "$(id -u)" -eq 0 ] && { [ "$kind" = cyrus ] || [ "$kind" = sogo ]; }; then
    owner=$kind
    id "$owner" >/dev/null 2>&1 || fail "running as root needs the user $owner, which Debian's packages make"
    as_server=(setpriv --reuid="$owner" --regid="$(id -g "$owner")" --init-groups)
fi

# Whether the process runs: a zombie, which a container's first process may never reap, is not running.
running() {
    [ -e "/proc/$1" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != Z ]
}

# Stops the server of the folder, if any. After a reboot the number in the pid file may belong to another process:
# only a process whose command line names this folder is stopped. The server leads a process group of its own
# (run_server), which is stopped whole: Apache's, Cyrus's and SOGo's workers, SOGo's memcached.
stop_server() {
    local pid=""
    [ -r "$dir/pid" ] && pid=$(cat "$dir/pid")
    if [[ $pid =~ ^[0-9]+$ ]] && grep -qaF -- "$dir/" "/proc/$pid/cmdline" 2>/dev/null; then
        kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 100); do
            running "$pid" || break
            sleep 0.1
        done
        if running "$pid"; then
            kill -KILL -- "-$pid" 2>/dev/null || kill -KILL "$pid" 2>/dev/null || true
            for _ in $(seq 100); do
                running "$pid" || break
                sleep 0.1
            done
        fi
        ! running "$pid" || fail "the server $pid on $dir does not stop"
        # What is left of the group once its leader is gone.
        kill -KILL -- "-$pid" 2>/dev/null || true
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
    [ "$kind" != davical ] && [ "$kind" != sogo ] || drop_database
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

# The tests' PostgreSQL server, for DAViCal and SOGo: its socket's folder and port, from CHRONOTEKA_TEST_SERVER.
postgres_socket() {
    local info=${CHRONOTEKA_TEST_SERVER:-}
    [[ $info =~ (^|[[:space:]])host=([^[:space:]]+) ]] ||
        fail "$kind needs the tests' PostgreSQL server: CHRONOTEKA_TEST_SERVER names none (host=...)"
    postgres_host=${BASH_REMATCH[2]}
    postgres_port=5432
    [[ $info =~ (^|[[:space:]])port=([0-9]+) ]] && postgres_port=${BASH_REMATCH[2]}
    # The caller's PG* variables would change which server or database psql and DAViCal's own scripts mean.
    while read -r name; do unset "$name"; done < <(compgen -e | grep '^PG' || true)
    export PGHOST=$postgres_host PGPORT=$postgres_port PGUSER=postgres
    # One database for each folder, so that a server of a test's own has its own beside the shared one's.
    database=${kind}_$(echo -n "$dir" | sha1sum | cut -c1-12)
}

# Drops the folder's database, if the PostgreSQL server still runs.
drop_database() {
    [ -r "$dir/database" ] || return 0
    export CHRONOTEKA_TEST_SERVER
    CHRONOTEKA_TEST_SERVER=$(cat "$dir/database")
    postgres_socket
    dropdb --if-exists "$database" 2>/dev/null || true
}

# Makes DAViCal's database with its own script, and the test user as a row of it: a password of DAViCal's
# stored as ** and the plain text.
make_davical_database() {
    postgres_socket
    echo "$CHRONOTEKA_TEST_SERVER" >"$dir/database"
    dropdb --if-exists "$database" >>"$dir/setup.log" 2>&1
    DBAOPTS="--dbhost $postgres_host --dbport $postgres_port" \
        /usr/share/davical/dba/create-database.sh "$database" "$(head -c 12 /dev/urandom | base64 | tr -d '/+=')" \
        >>"$dir/setup.log" 2>&1 || { cat "$dir/setup.log" >&2; fail "DAViCal's database was not made"; }
    psql -qX -v ON_ERROR_STOP=1 -d "$database" >>"$dir/setup.log" 2>&1 <<EOF ||
INSERT INTO usr (active, username, password, fullname, email)
    VALUES (TRUE, '$user', '**$password', 'Chronoteka', '$user@example.org');
INSERT INTO principal (type_id, user_no, displayname, default_privileges)
    SELECT 1, user_no, 'Chronoteka', 0::BIT(24) FROM usr WHERE username = '$user';
EOF
        { cat "$dir/setup.log" >&2; fail "DAViCal's user was not made"; }
}

# SOGo's database: its own tables it makes at its first start; the users' table, which it only reads, made here.
make_sogo_database() {
    postgres_socket
    echo "$CHRONOTEKA_TEST_SERVER" >"$dir/database"
    # SOGo reaches PostgreSQL over TCP alone.
    postgres_tcp_port=$(cat "$postgres_host/tcp-port" 2>/dev/null) ||
        fail "the tests' PostgreSQL server in $postgres_host has no TCP port"
    dropdb --if-exists "$database" >>"$dir/setup.log" 2>&1
    createdb "$database" >>"$dir/setup.log" 2>&1 || { cat "$dir/setup.log" >&2; fail "SOGo's database was not made"; }
    psql -qX -v ON_ERROR_STOP=1 -d "$database" >>"$dir/setup.log" 2>&1 <<EOF ||
CREATE TABLE sogo_users (c_uid varchar(128) PRIMARY KEY, c_name varchar(128), c_password varchar(256),
    c_cn varchar(256), mail varchar(256));
INSERT INTO sogo_users VALUES ('$user', '$user', '$password', 'Chronoteka', '$user@example.org');
EOF
        { cat "$dir/setup.log" >&2; fail "SOGo's user was not made"; }
    [ -z "$owner" ] || chown -R "$owner": "$dir"
    echo "postgresql://postgres@127.0.0.1:$postgres_tcp_port/$database" >"$dir/database-url"
}

# Apache's and DAViCal's configuration for the port.
configure_davical() {
    local port=$1 identity=""
    [ "$(id -u)" -ne 0 ] || identity=$'User www-data\nGroup www-data'
    mkdir -p "$dir/htdocs" "$dir/apache-run"
    cat >"$dir/apache.conf" <<EOF
ServerRoot $dir
DefaultRuntimeDir $dir/apache-run
PidFile $dir/apache-run/apache.pid
Listen 127.0.0.1:$port
ErrorLog $dir/server.log
LogLevel warn
LoadModule mpm_prefork_module /usr/lib/apache2/modules/mod_mpm_prefork.so
LoadModule authz_core_module /usr/lib/apache2/modules/mod_authz_core.so
LoadModule alias_module /usr/lib/apache2/modules/mod_alias.so
LoadModule rewrite_module /usr/lib/apache2/modules/mod_rewrite.so
LoadModule php_module $apache_php
StartServers 2
MinSpareServers 1
MaxSpareServers 4
$identity
ServerName ../..$dir/davical
UseCanonicalName On
DocumentRoot $dir/htdocs
Alias /caldav.php /usr/share/davical/htdocs/caldav.php
# As Debian's site for DAViCal does, so that a client finds the calendars from the server's address alone.
RewriteEngine On
RewriteRule ^/\.well-known/(.*)\$ /caldav.php/.well-known/\$1 [NC,PT]
<Directory /usr/share/davical/htdocs>
    Require all granted
</Directory>
<FilesMatch "\.php\$">
    SetHandler application/x-httpd-php
</FilesMatch>
EOF
    cat >"$dir/davical-conf.php" <<EOF
<?php
\$_SERVER['SERVER_NAME'] = '127.0.0.1';
\$_SERVER['SERVER_PORT'] = '$port';
\$c->domain_name = '127.0.0.1';
\$c->pg_connect[] = 'host=$postgres_host port=$postgres_port dbname=$database user=davical_app';
EOF
}

# Cyrus's configuration for the port, and the user's password in the folder's sasldb.
configure_cyrus() {
    local port=$1
    mkdir -p "$dir/config/db" "$dir/config/socket" "$dir/config/proc" "$dir/config/lock" "$dir/spool" "$dir/socket"
    cat >"$dir/imapd.conf" <<EOF
configdirectory: $dir/config
defaultpartition: default
partition-default: $dir/spool
proc_path: $dir/config/proc
mboxname_lockpath: $dir/config/lock
lmtpsocket: $dir/socket/lmtp
idlesocket: $dir/socket/idle
notifysocket: $dir/socket/notify
servername: 127.0.0.1
httpmodules: caldav
allowplaintext: yes
autocreate_quota: 0
sasl_pwcheck_method: auxprop
sasl_auxprop_plugin: sasldb
sasl_sasldb_path: $dir/sasldb2
sasl_mech_list: PLAIN
syslog_prefix: chronoteka-cyrus
EOF
    cat >"$dir/cyrus.conf" <<EOF
START {
    recover cmd="$cyrus_bin/ctl_cyrusdb -C $dir/imapd.conf -r"
}
SERVICES {
    imap cmd="$cyrus_bin/imapd -C $dir/imapd.conf" listen="$dir/socket/imap" prefork=0
    http cmd="$cyrus_bin/httpd -C $dir/imapd.conf" listen="127.0.0.1:$port" prefork=0
}
EVENTS {
}
EOF
    # SASL looks a user up in the realm of the server's name.
    rm -f "$dir/sasldb2"
    echo -n "$password" | saslpasswd2 -f "$dir/sasldb2" -p -c -u 127.0.0.1 "$user" ||
        fail "the user's password was not written to $dir/sasldb2"
    [ "$(id -u)" -ne 0 ] || chown -R cyrus: "$dir"
}

# Logs the user in once over IMAP, which makes the mailbox Cyrus keeps the user's calendars under.
make_cyrus_mailbox() {
    "$python" - "$dir/socket/imap" "$user" "$password" <<'EOF' || fail "Cyrus made no mailbox for $user"
import socket, sys
path, user, password = sys.argv[1:]
with socket.socket(socket.AF_UNIX) as connection:
    connection.settimeout(10)
    connection.connect(path)
    lines = connection.makefile("rwb")
    lines.readline()
    lines.write(b"a LOGIN " + user.encode() + b" " + password.encode() + b"\r\n")
    lines.flush()
    answer = lines.readline()
    lines.write(b"b LOGOUT\r\n")
    lines.flush()
    sys.exit(0 if answer.startswith(b"a OK") else answer.decode(errors="replace"))
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
    davical) command=(/usr/sbin/apache2 -f "$dir/apache.conf" -DFOREGROUND) ;;
    cyrus) command=("${as_server[@]}" $cyrus_bin/master -C "$dir/imapd.conf" -M "$dir/cyrus.conf" -p "$dir/master.pid") ;;
    sogo)
        local url
        url=$(cat "$dir/database-url")
        # A worker holds a connection while it is kept alive, idle or not, and the watchdog drops a new connection
        # when every worker holds one: the tests side by side, each with its Qt client and its phone, keep several
        # open. memcached starts beside sogod in its process group. A setting's value is a property list: memcached's
        # socket a quoted string, since a bare value that starts with - would be taken for a setting's name.
        command=("${as_server[@]}" sh -c '/usr/bin/memcached -s "$0/memcached.sock" -a 0700 -m 16 & exec "$@"' "$dir"
            env HOME="$dir" /usr/sbin/sogod -WONoDetach YES -WOPort "127.0.0.1:$port" -WOLogFile -
            -WOPidFile "$dir/sogod.pid" -WOWorkersCount "$sogo_workers" -SOGoTimeZone UTC
            -SOGoMemcachedHost "$dir/memcached.sock"
            -SOGoProfileURL "$url/sogo_user_profile" -OCSFolderInfoURL "$url/sogo_folder_info"
            -OCSSessionsFolderURL "$url/sogo_sessions_folder" -OCSEMailAlarmsFolderURL "$url/sogo_alarms_folder"
            -SOGoUserSources "({type = sql; id = users; viewURL = \"$url/sogo_users\"; canAuthenticate = YES;
                isAddressBook = NO; userPasswordAlgorithm = plain;})")
        ;;
    esac
    local logged
    logged=$(wc -l <"$dir/server.log")
    # Cyrus's programs keep the folder as their current one.
    (cd "$dir" && exec setsid "${command[@]}" </dev/null >>"$dir/server.log" 2>&1) &
    echo $! >"$dir/pid"
    local status
    for _ in $(seq 300); do
        running "$(cat "$dir/pid")" || return 1
        status=$(request PROPFIND "$(cat "$dir/base-url")")
        if [ "$status" != 0 ] && { [ "$kind" != sogo ] || sogo_workers_ready "$logged"; }; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Whether every SOGo worker started after the log's first <lines> lines is ready: the watchdog takes connections
# before, and drops those that come while none is.
sogo_workers_ready() {
    [ "$(tail -n "+$(($1 + 1))" "$dir/server.log" | grep -c 'notified the watchdog that we are ready')" -ge "$sogo_workers" ]
}

server_version() {
    case $kind in
    radicale | xandikos) "$kind" --version 2>/dev/null | awk '{print $NF}' ;;
    davical) dpkg-query -W -f='${Version}' davical 2>/dev/null ;;
    cyrus) dpkg-query -W -f='${Version}' cyrus-caldav 2>/dev/null ;;
    sogo) dpkg-query -W -f='${Version}' sogo 2>/dev/null ;;
    esac
}

start_server() {
    remove_folder
    mkdir -p "$dir/storage"
    touch "$marker"
    echo "$user:$password" >"$dir/users"
    [ "$kind" != davical ] || make_davical_database
    [ "$kind" != sogo ] || make_sogo_database
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
        [ "$kind" != davical ] || configure_davical "$port"
        [ "$kind" != cyrus ] || configure_cyrus "$port"
        : >"$dir/server.log"
        run_server && break
        stop_server
        if [ "$attempt" -eq 5 ] || ! grep -qi 'address already in use\|errno 98\|could not bind' "$dir/server.log"; then
            cat "$dir/server.log" >&2
            fail "$kind did not start"
        fi
    done
    local base=$scheme://127.0.0.1:$port/ calendar dav
    case $kind in
    davical) dav=${base}caldav.php/ ;;
    sogo) dav=${base}SOGo/dav/ ;;
    *) dav=$base ;;
    esac
    case $kind in
    radicale) calendar=$base$user/tests/ ;;
    xandikos) calendar=${base}$user/calendars/tests/ ;;
    davical) calendar=${base}caldav.php/$user/tests/ ;;
    sogo) calendar=${base}SOGo/dav/$user/Calendar/tests/ ;;
    cyrus)
        make_cyrus_mailbox
        calendar=${base}dav/calendars/user/$user/tests/
        ;;
    esac
    local status
    status=$(request MKCALENDAR "$calendar" '<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<D:displayname>Tests</D:displayname>
<C:supported-calendar-component-set><C:comp name="VEVENT"/><C:comp name="VTODO"/></C:supported-calendar-component-set>
</D:prop></D:set></C:mkcalendar>')
    [ "$status" = 201 ] || { cat "$dir/server.log" >&2; fail "$kind made no calendar at $calendar (status $status)"; }
    echo "$calendar" >"$dir/calendar-url"
    echo "$dav" >"$dir/dav-url"
    echo "$user" >"$dir/user"
    echo "$password" >"$dir/password"
    echo "$kind $(server_version) ready: $calendar user=$user"
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
