# Shared by scripts/run and scripts/test: the Debian packages the project needs, and the build.
# shellcheck shell=bash

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# qtkeychain-qt6-dev keeps the sync account's password in the desktop's Secret Service, reached through libsecret,
# which it opens at run time rather than links.
build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libsqlite3-dev
    libpq-dev fonts-liberation libfontconfig-dev libxlsxwriter-dev libical-dev libstemmer-dev qtkeychain-qt6-dev
    libsecret-1-0)
# postgresql: the tests of the server diary run against a private cluster of their own (tests/support/), openssl
# makes the authorities and certificates of its TLS test and of the calendar sync's. dbus and dunst: desktop
# notifications are tested on a private session bus, with a real notification daemon end to end.
# radicale and xandikos are the CalDAV servers the calendar sync is tested against (tests/support/caldav-server.sh),
# python3-caldav a second client on them; gnome-keyring gives the tests a Secret Service on a private session bus.
# khal writes a calendar file of another program for the import's tests, as python3-icalendar does.
# davical (with apache2 and libapache2-mod-php, which serve it, on the tests' PostgreSQL), cyrus-imapd with
# cyrus-caldav (sasl2-bin writes its password file) and sogo (with its memcached, on the tests' PostgreSQL) are three
# more CalDAV servers users run, each with quirks of its own: caldav-server.sh starts each privately, none of their
# system services (SOGo's tests run when CMake is given -DCHRONOTEKA_TEST_SOGO=ON, tests/CMakeLists.txt says why).
# python3-recurring-ical-events lists a calendar object's occurrences, so the sync's round-trip tests can tell that
# an edit in the diary left another client's recurrence, its exceptions and changed occurrences as they were.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev clang-format clang postgresql openssl
    xvfb xauth openbox trayer xdotool wmctrl sqlite3 x11-utils desktop-file-utils unzip python3-icalendar dbus dunst
    radicale xandikos python3-caldav gnome-keyring khal davical apache2 libapache2-mod-php cyrus-imapd cyrus-caldav
    sasl2-bin sogo python3-recurring-ical-events)
# bench/startup.sh times whole processes under Xvfb with a window manager.
bench_packages=(hyperfine xvfb xauth openbox time)

# Installs those of the named packages that are missing, with one apt-get update first.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    # Debian starts a server package's system service on install (Apache on port 80, Cyrus, PostgreSQL's cluster);
    # the tests start private servers of their own and need none, so a policy that refuses every start is put in
    # place for the install, unless the machine has one of its own.
    local policy=/usr/sbin/policy-rc.d own_policy=0
    if [ ! -e "$policy" ]; then
        printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" tee "$policy" >/dev/null
        "${sudo[@]}" chmod 755 "$policy"
        own_policy=1
    fi
    local status=0
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}" || status=$?
    [ "$own_policy" -eq 0 ] || "${sudo[@]}" rm -f "$policy"
    return "$status"
}

# Configures and builds into the folder $1 with any further cmake options.
build_project() {
    local dir=$1
    shift
    cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir"
}
