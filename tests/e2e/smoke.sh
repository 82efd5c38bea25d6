#!/usr/bin/env bash
# Starts the real program under Xvfb with a window manager and a tray host, as a user would:
#  1. in a fresh diary it shows "БД Хронотека" and ends with code 0 when that window is closed;
#  2. where db1.mdb is missing it shows "Application Error", which is answered, and ends with code 1.
# Usage: smoke.sh <chronoteka> <chronoteka-newdb>
set -euo pipefail
if [ "${1:-}" != --inside ]; then
    unset QT_QPA_PLATFORM
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$0" --inside "$@"
fi
program=$2
newdb=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Waits up to 20 s for a window whose title is exactly $1; prints its id.
wait_window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1 || true)
        if [ -n "$id" ]; then echo "$id"; return 0; fi
        sleep 0.1
    done
    echo "window '$1' never appeared" >&2
    return 1
}

session() {
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    openbox >/dev/null 2>&1 &
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
    (cd "$work/empty" && exec "$program") &
    pid=$!
    local box
    box=$(wait_window "Application Error")
    if xdotool search --name "^БД Хронотека\$" >/dev/null 2>&1; then
        echo "the main window is shown although the database is missing" >&2
        return 1
    fi
    xdotool windowactivate --sync "$box" key --clearmodifiers Return
    rc=0
    wait "$pid" || rc=$?
    [ "$rc" -eq 1 ] || { echo "a missing database ended the program with code $rc, not 1" >&2; return 1; }
    [ ! -e "$work/empty/db1.mdb" ] || { echo "a database file was created" >&2; return 1; }
    echo "missing database: Application Error, code 1"
}

session
