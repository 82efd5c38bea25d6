#!/usr/bin/env bash
# The real program hidden in the tray tells of a due reminder through a real notification daemon (dunst) on a
# session bus of the test's own, under Xvfb with a window manager and a tray host: the birthday check, run from the
# tray menu as a user does, puts up a notification with the mode's caption and the event's name, and its "Открыть"
# brings the minimised reminder window back.
# Usage: notify.sh <chronoteka> <chronoteka-newdb>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=desktop.sh
source "$(dirname "$0")/desktop.sh"
on_screen "$0" "$@"
program=$2
newdb=$3
work=$(mktemp -d)
bus_pid=
cleanup() {
    [ -z "$bus_pid" ] || kill "$bus_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A session bus of its own, on which nothing is started on demand: only the daemon the test starts serves
# notifications, and nothing of the machine's session is touched.
start_session_bus() {
    mkdir "$work/bus"
    cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    dbus-daemon --config-file="$work/bus.conf" --fork --print-address=3 --print-pid=4 \
        3>"$work/bus.address" 4>"$work/bus.pid"
    bus_pid=$(cat "$work/bus.pid")
    DBUS_SESSION_BUS_ADDRESS=$(cat "$work/bus.address")
    export DBUS_SESSION_BUS_ADDRESS
}

# Waits up to 20 s for dunst to show $1 notifications.
wait_displayed() {
    for _ in $(seq 200); do
        [ "$(dunstctl count displayed 2>/dev/null || echo -1)" -eq "$1" ] && return 0
        sleep 0.1
    done
    echo "dunst shows $(dunstctl count displayed 2>/dev/null || echo no) notifications, not $1" >&2
    return 1
}

# Waits up to 20 s for the window $1 to be on the screen (visible) or not ("hidden"), by $2.
wait_window_state() {
    local shown
    for _ in $(seq 200); do
        shown=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1 || true)
        if { [ "$2" = visible ] && [ -n "$shown" ]; } || { [ "$2" = hidden ] && [ -z "$shown" ]; }; then
            return 0
        fi
        sleep 0.1
    done
    echo "the window '$1' is not $2" >&2
    return 1
}

session() {
    start_window_manager
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    start_session_bus
    dunst >"$work/dunst.log" 2>&1 &
    for _ in $(seq 100); do
        dunstctl is-paused >/dev/null 2>&1 && break
        sleep 0.1
    done
    dunstctl is-paused >/dev/null 2>&1 || { echo "dunst did not start:" >&2; cat "$work/dunst.log" >&2; return 1; }
    sleep 1

    diary_with_birthday_due "$work/diary"
    (cd "$work/diary" && exec "$program") &
    local pid=$!
    local main
    main=$(wait_window "БД Хронотека")
    hide_to_tray "$main"
    wait_displayed 0

    # trayer stands in the bottom right corner; the program's icon is the only one in it.
    local width height
    read -r width height < <(xdotool getdisplaygeometry)
    xdotool mousemove $(( width - 12 )) $(( height - 12 )) click 3
    sleep 0.5
    xdotool key Down Down Down Return # "Дни рождения"
    local reminder
    reminder=$(wait_window "День рождения")
    wait_displayed 1
    echo "hidden: the birthday check put up the reminder window and one notification"

    xdotool windowminimize "$reminder"
    wait_window_state "День рождения" hidden
    dunstctl action 0 # the notification's default action, "Открыть"
    wait_window_state "День рождения" visible
    echo "Открыть on the notification brought the minimised reminder window back"

    # What dunst showed, from its history: the action took the notification off the screen.
    wait_displayed 0
    local history
    history=$(dbus-send --session --print-reply --dest=org.freedesktop.Notifications \
        /org/freedesktop/Notifications org.dunstproject.cmd0.NotificationListHistory)
    local expected
    for expected in 'string "Хронотека"' 'string "День рождения"' 'string "Петров Пётр"'; do
        grep -qF "$expected" <<<"$history" ||
            { echo "dunst's history lacks $expected:" >&2; echo "$history" >&2; return 1; }
    done
    echo "dunst showed the program's notification: День рождения, Петров Пётр"

    wmctrl -c "День рождения"
    kill "$pid"
    wait "$pid" || true
}

session
