#!/usr/bin/env bash
# Start-up to the main window on the screen, as whole processes under Xvfb, side by side with a bare Qt window:
# the program with an empty diary and with 10,000 events listed. Needs hyperfine, xvfb-run and openbox.
# Usage: bench/startup.sh <build dir>, a build configured with -DCHRONOTEKA_BENCH=ON (scripts/test makes one in build/).
set -euo pipefail
if [ "${1:-}" != --inside ]; then
    unset QT_QPA_PLATFORM
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$0" --inside "$(cd "${1:-build}" && pwd)"
fi
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/empty" "$work/full"
"$build/bin/chronoteka-newdb" "$work/empty/db1.mdb"
"$build/bin/bench_fill_diary" "$work/full/db1.mdb" 10000

openbox >/dev/null 2>&1 &
sleep 1
export CHRONOTEKA_QUIT_AFTER_SHOW=1
# No shell: each command is the same env -C start, so no shell's start-up has to be measured and subtracted.
hyperfine -N --warmup 10 --runs 60 --export-markdown "$work/startup.md" \
    -n "bare Qt window" "env -C $work/empty $build/bin/bench_bare_window" \
    -n "empty diary" "env -C $work/empty $build/bin/chronoteka" \
    -n "10,000 events" "env -C $work/full $build/bin/chronoteka"
cat "$work/startup.md"
