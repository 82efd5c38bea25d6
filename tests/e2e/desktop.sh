# shellcheck shell=bash
# What the desktop tests share, sourced by them: the screen, the window manager, waiting for windows, hiding to the
# tray, a diary with a birthday due, and a start that must fail with the error box. The sourcing script sets $program
# to the program, $newdb to chronoteka-newdb and $work to its folder.
# shellcheck disable=SC2154

# Runs the calling script again under Xvfb, a real X server without a screen, with its arguments after --inside;
# inside it does nothing. Called first, as: on_screen "$0" "$@".
on_screen() {
    local script=$1
    shift
    if [ "${1:-}" != --inside ]; then
        unset QT_QPA_PLATFORM
        exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$script" --inside "$@"
    fi
}

# The session's runtime folder and its window manager, which gives windows their frames, focus and activation;
# returns once the window manager runs.
start_window_manager() {
    export XDG_RUNTIME_DIR=$work/runtime
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    # The program's daily backups go into the test's folder, not the user's.
    export XDG_DATA_HOME=$work/data
    openbox >/dev/null 2>&1 &
    for _ in $(seq 100); do
        wmctrl -m >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    echo "the window manager did not start" >&2
    return 1
}

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

# Hides the main window $1 to the tray from its pop-up menu, as a user does, and checks it left the screen.
hide_to_tray() {
    sleep 0.5
    xdotool mousemove --window "$1" 20 500 click 3
    sleep 0.5
    xdotool key Down Down Return # "Спрятать в трей"
    sleep 0.5
    if [ -n "$(xdotool search --onlyvisible --name '^БД Хронотека$' 2>/dev/null)" ]; then
        echo "the main window is still on the screen after Спрятать в трей" >&2
        return 1
    fi
}

# Makes the folder $1 with a diary (made by $newdb) holding one birthday whose reminder window holds today: Петров
# Пётр, born in 1980 three days from now, reminded from three days ago.
diary_with_birthday_due() {
    mkdir "$1"
    "$newdb" "$1/db1.mdb"
    local today shed birth
    today=$(( $(date -d "$(date +%F) 12:00" +%s) / 86400 + 25569 ))
    shed=$(( today - 3 ))
    birth=$(( $(date -d "1980-$(date -d '+3 days' +%m-%d) 12:00" +%s) / 86400 + 25569 ))
    sqlite3 "$1/db1.mdb" "insert into job (job, period, date_isp, date_shed, vip)
        values ('Петров Пётр', 'День рождения', $birth, $shed, 0)"
}

# Starts the program in the folder $1, whose diary can't be opened ($2 says why, for the messages): it must show
# "Application Error" and no main window, and end with code 1 once the box is answered as a user does.
start_fails_with_error_box() {
    local folder=$1 why=$2
    (cd "$folder" && exec "$program") &
    local pid=$!
    local box
    box=$(wait_window "Application Error")
    if xdotool search --name "^БД Хронотека\$" >/dev/null 2>&1; then
        echo "the main window is shown although $why" >&2
        return 1
    fi
    xdotool windowactivate --sync "$box" key --clearmodifiers Return
    local rc=0
    wait "$pid" || rc=$?
    [ "$rc" -eq 1 ] || { echo "$why, and the program ended with code $rc, not 1" >&2; return 1; }
}
