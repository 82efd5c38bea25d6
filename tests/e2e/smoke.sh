#!/usr/bin/env bash
# Starts the real program under Xvfb with a window manager and a tray host, as a user would:
#  1. in a fresh diary it shows "БД Хронотека" and ends with code 0 when that window is closed;
#  2. where db1.mdb is missing it shows "Application Error", which is answered, and ends with code 1;
#  3. with a birthday due it hides to the tray, shows the birthdays from the tray menu, keeps running when that
#     reminder is closed, comes back on a double click on its icon and ends with code 0;
#  4. started a second time on a diary it is running on (reached through a symbolic link) the second start ends
#     with code 0 and the first window comes back from the tray; another diary runs beside it; after the first
#     is killed a new start on its diary is not blocked.
# Usage: smoke.sh <chronoteka> <chronoteka-newdb>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=desktop.sh
source "$(dirname "$0")/desktop.sh"
on_screen "$0" "$@"
program=$2
newdb=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

session() {
    start_window_manager
    trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
    sleep 1

    mkdir "$work/diary"
    "$newdb" "$work/diary/db1.mdb"
    (cd "$work/diary" && exec "$program") &
    local pid=$!
    wait_window "БД Хронотека" >/dev/null
    wmctrl -c "БД Хронотека"
    local rc=0
    wait "$pid" || rc=$?
    [ "$rc" -eq 0 ] || { echo "closing the main window ended the program with code $rc" >&2; return 1; }
    [ -e "$work/diary/db1.mdb" ] || { echo "db1.mdb is gone" >&2; return 1; }
    echo "main window shown and closed: code 0"

    mkdir "$work/empty"
    start_fails_with_error_box "$work/empty" "the database is missing"
    [ ! -e "$work/empty/db1.mdb" ] || { echo "a database file was created" >&2; return 1; }
    echo "missing database: Application Error, code 1"

    diary_with_birthday_due "$work/tray"
    (cd "$work/tray" && exec "$program") &
    pid=$!
    local main
    main=$(wait_window "БД Хронотека")
    hide_to_tray "$main"
    # trayer stands in the bottom right corner; the program's icon is the only one in it.
    local width height x y
    read -r width height < <(xdotool getdisplaygeometry)
    x=$(( width - 12 ))
    y=$(( height - 12 ))
    xdotool mousemove "$x" "$y" click 3
    sleep 0.5
    xdotool key Down Down Down Return # "Дни рождения"
    wait_window "День рождения" >/dev/null
    wmctrl -c "День рождения"
    sleep 1
    kill -0 "$pid" 2>/dev/null || { echo "closing the reminder window ended the program" >&2; return 1; }
    xdotool mousemove "$x" "$y" click --repeat 2 --delay 80 1
    sleep 1
    [ -n "$(xdotool search --onlyvisible --name '^БД Хронотека$' 2>/dev/null)" ] ||
        { echo "a double click on the tray icon did not bring the window back" >&2; return 1; }
    wmctrl -c "БД Хронотека"
    rc=0
    wait "$pid" || rc=$?
    [ "$rc" -eq 0 ] || { echo "the program ended with code $rc after the tray round trip" >&2; return 1; }
    echo "tray: hidden, birthdays shown and closed, back on a double click, code 0"

    mkdir "$work/twice"
    "$newdb" "$work/twice/db1.mdb"
    ln -s "$work/twice" "$work/twice-link"
    (cd "$work/twice" && exec "$program") &
    pid=$!
    main=$(wait_window "БД Хронотека")
    hide_to_tray "$main"
    rc=0
    (cd "$work/twice-link" && exec timeout 20 "$program") || rc=$?
    [ "$rc" -eq 0 ] || { echo "the second start on the same diary ended with code $rc" >&2; return 1; }
    sleep 1
    local shown
    shown=$(xdotool search --onlyvisible --name '^БД Хронотека$' 2>/dev/null | wc -l)
    [ "$shown" -eq 1 ] || { echo "after the second start $shown main windows are shown, not the first one" >&2; return 1; }
    kill -0 "$pid" 2>/dev/null || { echo "the second start ended the first program" >&2; return 1; }

    (cd "$work/diary" && exec "$program") &
    local other=$!
    for _ in $(seq 200); do
        [ "$(xdotool search --onlyvisible --name '^БД Хронотека$' 2>/dev/null | wc -l)" -eq 2 ] && break
        sleep 0.1
    done
    [ "$(xdotool search --onlyvisible --name '^БД Хронотека$' 2>/dev/null | wc -l)" -eq 2 ] ||
        { echo "a second diary did not open beside the first" >&2; return 1; }
    kill "$other"
    wait "$other" || true

    kill -KILL "$pid"
    wait "$pid" || true
    (cd "$work/twice" && exec "$program") &
    pid=$!
    wait_window "БД Хронотека" >/dev/null
    wmctrl -c "БД Хронотека"
    rc=0
    wait "$pid" || rc=$?
    [ "$rc" -eq 0 ] || { echo "the start after a killed one ended with code $rc" >&2; return 1; }
    echo "twice: the second start showed the first window and ended with code 0; other diaries run beside it"
}

session
