#!/usr/bin/env bash
# Starts the real program on a diary on a PostgreSQL server, under Xvfb with a window manager, as a user would:
#  1. in a folder whose database.conf names an empty server diary made by chronoteka-newdb it shows "БД Хронотека";
#     an event added in the window (a periodicity picked in the tree, the navigator's insert, a text typed, the
#     event's periodicity chosen from its list, the navigator's post) is a row on the server, and closing the window
#     ends the program with code 0;
#  2. with a database.conf naming a server that is not running it shows "Application Error", which is answered, and
#     ends with code 1.
# The server is the one CHRONOTEKA_TEST_SERVER names (libpq connection info of its maintenance database), which
# ctest sets; the test makes a database of its own there and drops it at the end.
# Usage: server.sh <chronoteka> <chronoteka-newdb>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=desktop.sh
source "$(dirname "$0")/desktop.sh"
on_screen "$0" "$@"
program=$2
newdb=$3
server=${CHRONOTEKA_TEST_SERVER:?CHRONOTEKA_TEST_SERVER is not set: run the test through ctest}
database=chronoteka_e2e_$$_$RANDOM
# libpq takes the last of a keyword given twice, so this names the test's database on the same server.
diary="$server dbname=$database"
work=$(mktemp -d)
pid=""

# Runs one statement on the database given by the connection info $1; prints what it returns, one row a line.
sql() {
    psql "$1" -X -q -A -t -v ON_ERROR_STOP=1 -c "$2"
}

cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    sql "$server" "DROP DATABASE IF EXISTS $database WITH (FORCE)" >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

session() {
    start_window_manager

    sql "$server" "CREATE DATABASE $database TEMPLATE template0 ENCODING 'UTF8'"
    "$newdb" "Provider=PostgreSQL;Data Source=$diary"
    mkdir "$work/diary"
    printf 'Provider=PostgreSQL;Data Source=%s\n' "$diary" >"$work/diary/database.conf"
    (cd "$work/diary" && exec "$program") &
    pid=$!
    local main
    main=$(wait_window "БД Хронотека")
    xdotool windowactivate --sync "$main"
    sleep 1
    local height
    height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
    # The window is laid out in pixels: the navigator's ten buttons, 37 pixels wide from x = 176, sit 32 pixels
    # above the bottom; the event's text box 132.
    local buttons=$((height - 32)) insert=342 post=453
    # The tree has the focus, on "Все мероприятия": open it and go down to its third periodicity, ежедневное. The
    # tree lays its opened rows out after the key, so the next keys wait for it.
    xdotool key Right
    sleep 0.5
    xdotool key Down Down Down
    sleep 0.5
    xdotool mousemove --window "$main" "$insert" "$buttons" click 1
    sleep 0.5
    xdotool mousemove --window "$main" 400 $((height - 132)) click 1
    sleep 0.5
    # Latin letters only: xdotool types a letter its keyboard map lacks by remapping a key for a moment, and under
    # Xvfb the program may read such a key before the new map and lose it. The periodicity is Cyrillic, chosen
    # from the box's list (the box before the text in the tab order) with the arrow keys.
    local text="Call the bank at 10:30"
    xdotool type --delay 50 "$text"
    xdotool key shift+Tab Down Down Down
    sleep 0.5
    xdotool mousemove --window "$main" "$post" "$buttons" click 1

    local stored="" expected="$text|ежедневное|f"
    for _ in $(seq 100); do
        stored=$(sql "$diary" "SELECT job, period, vip FROM job")
        [ "$stored" = "$expected" ] && break
        sleep 0.1
    done
    [ "$stored" = "$expected" ] ||
        { echo "the server holds '$stored' after the post, not the one row '$expected'" >&2; return 1; }
    echo "event added in the window and posted: the server holds '$stored'"

    wmctrl -c "БД Хронотека"
    local rc=0
    wait "$pid" || rc=$?
    pid=""
    [ "$rc" -eq 0 ] || { echo "closing the main window ended the program with code $rc" >&2; return 1; }
    [ ! -e "$work/diary/db1.mdb" ] || { echo "a diary file was made beside database.conf" >&2; return 1; }
    echo "main window on the server diary closed: code 0"

    mkdir "$work/no-server" "$work/unreachable"
    printf 'Provider=PostgreSQL;Data Source=host=%s port=5432 user=postgres dbname=%s\n' "$work/no-server" \
        "$database" >"$work/unreachable/database.conf"
    start_fails_with_error_box "$work/unreachable" "the server is not running"
    [ ! -e "$work/unreachable/db1.mdb" ] || { echo "a diary file was made beside database.conf" >&2; return 1; }
    echo "server not running: Application Error, code 1"
}

session
