#!/usr/bin/env bash
# Starts the real program under Xvfb with a window manager, as a user would, on a diary of several quarterly events:
# Ctrl+F, another form of a word of one event's description typed into the search line, Enter; that event's row is
# then the current one, which the test sees by the text typed next into the panel landing in that row of the diary.
# Usage: search.sh <chronoteka> <chronoteka-newdb>
set -euo pipefail
# shellcheck source-path=SCRIPTDIR source=desktop.sh
source "$(dirname "$0")/desktop.sh"
on_screen "$0" "$@"
program=$2
newdb=$3
work=$(mktemp -d)
pid=""

cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

session() {
    start_window_manager
    # A Russian layout beside the Latin one, set before the program starts: xdotool then types Cyrillic letters
    # with keys the program already knows instead of remapping a key for a moment.
    setxkbmap -layout us,ru

    mkdir "$work/diary"
    "$newdb" "$work/diary/db1.mdb"
    sqlite3 "$work/diary/db1.mdb" "insert into job (id_job, job, period, date_isp, vip) values
        (1, 'Сверка счетов', 'ежеквартальное', 46000, 0),
        (2, 'Отчёт в налоговой', 'ежеквартальное', 46001, 0),
        (3, 'Позвонить в банк', 'ежеквартальное', 46002, 0),
        (4, 'Купить подарки', 'ежедневное', 46003, 0)"
    (cd "$work/diary" && exec "$program") &
    pid=$!
    local main
    main=$(wait_window "БД Хронотека")
    xdotool windowactivate --sync "$main"
    sleep 1
    local height
    height=$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^HEIGHT=//p')
    # The navigator's post button and the event's text box, as in server.sh.
    local buttons=$((height - 32)) post=453

    xdotool key ctrl+f
    sleep 0.5
    xdotool type --delay 100 "налоговую"
    sleep 1
    xdotool key Return
    sleep 0.5
    xdotool mousemove --window "$main" 400 $((height - 132)) click 1
    sleep 0.3
    xdotool key End
    xdotool type --delay 50 " ok"
    sleep 0.3
    xdotool mousemove --window "$main" "$post" "$buttons" click 1

    local stored="" expected="Сверка счетов|Отчёт в налоговой ok|Позвонить в банк|Купить подарки"
    for _ in $(seq 100); do
        stored=$(sqlite3 "$work/diary/db1.mdb" "select group_concat(job, '|') from (select job from job order by id_job)")
        [ "$stored" = "$expected" ] && break
        sleep 0.1
    done
    [ "$stored" = "$expected" ] ||
        { echo "the diary holds '$stored' after the edit, not '$expected'" >&2; return 1; }
    echo "found with Ctrl+F and opened with Enter: the edit went to '$(echo "$stored" | cut -d'|' -f2)'"

    wmctrl -c "БД Хронотека"
    local rc=0
    wait "$pid" || rc=$?
    pid=""
    [ "$rc" -eq 0 ] || { echo "closing the main window ended the program with code $rc" >&2; return 1; }
}

session
