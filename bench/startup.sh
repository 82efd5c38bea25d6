#!/usr/bin/env bash
# Start-up as whole processes under Xvfb, side by side with a bare Qt window: the program to its main window with an
# empty diary and with 10,000 events listed, and a second start on a diary the program is running on, which hands
# over to the running one and ends. Then a diary of 1,000,000 events listed against the empty one: the time to the
# window and the peak resident memory of the whole process. Installs what it needs (hyperfine, Xvfb, openbox, GNU
# time) when missing.
# Usage: bench/startup.sh <build dir>, a build configured with -DCHRONOTEKA_BENCH=ON (scripts/test makes one in build/).
set -euo pipefail
if [ "${1:-}" != --inside ]; then
    source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
    ensure_packages "${bench_packages[@]}"
    unset QT_QPA_PLATFORM
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$0" --inside "$(cd "${1:-build}" && pwd)"
fi
build=$2
work=$(mktemp -d)
running=
trap '[ -z "$running" ] || kill "$running" 2>/dev/null; rm -rf "$work"' EXIT
mkdir "$work/empty" "$work/full" "$work/million" "$work/running"
"$build/bin/chronoteka-newdb" "$work/empty/db1.mdb"
"$build/bin/bench_fill_diary" "$work/full/db1.mdb" 10000
"$build/bin/bench_fill_diary" "$work/million/db1.mdb" 1000000
"$build/bin/chronoteka-newdb" "$work/running/db1.mdb"
# A runtime folder of this run's own.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"

openbox >/dev/null 2>&1 &
sleep 1
# No shell: each command is the same env -C start, so no shell's start-up has to be measured and subtracted.
# hyperfine runs one command's runs, then the next one's: a spell of load on the machine would weigh on one command
# alone. So the 60 runs of each are taken in 6 rounds of 10, the three side by side in each, and each ratio is the
# median of the rounds' ratios.
rounds=6
for round in $(seq $rounds); do
    CHRONOTEKA_QUIT_AFTER_SHOW=1 hyperfine -N --warmup 3 --runs 10 --export-markdown "$work/startup.md" \
        --export-json "$work/startup.$round.json" \
        -n "bare Qt window" "env -C $work/empty $build/bin/bench_bare_window" \
        -n "empty diary" "env -C $work/empty $build/bin/chronoteka" \
        -n "10,000 events" "env -C $work/full $build/bin/chronoteka" >/dev/null
done

# One program stays on a diary; every later start there must show its window and end with code 0.
(cd "$work/running" && exec "$build/bin/chronoteka") >/dev/null 2>&1 &
running=$!
# Its guard is an abstract socket, which the kernel lists in /proc/net/unix with a leading @.
listening() { grep -q '@chronoteka-' /proc/net/unix; }
for _ in $(seq 100); do
    listening && break
    sleep 0.1
done
listening ||
    { echo "the program on $work/running does not listen for a second start" >&2; exit 1; }
timeout 20 env -C "$work/running" "$build/bin/chronoteka" ||
    { echo "a second start on a running diary did not hand over and end with code 0" >&2; exit 1; }
# hyperfine stops at a command that ends with another code.
hyperfine -N --warmup 10 --runs 60 --export-markdown "$work/handover.md" --export-json "$work/handover.json" \
    -n "bare Qt window" "env -C $work/empty $build/bin/bench_bare_window" \
    -n "second start, handed over" "env -C $work/running $build/bin/chronoteka"
kill -0 "$running" 2>/dev/null || { echo "a second start ended the running program" >&2; exit 1; }

# A million events against none: fewer runs, as a start on the large diary may take seconds.
CHRONOTEKA_QUIT_AFTER_SHOW=1 hyperfine -N --warmup 2 --runs 10 --export-markdown "$work/million.md" \
    --export-json "$work/million.json" \
    -n "empty diary" "env -C $work/empty $build/bin/chronoteka" \
    -n "1,000,000 events" "env -C $work/million $build/bin/chronoteka"
# The peak resident set of the whole process to its window shown, in KiB, one line a run, the two diaries in turn.
for _ in 1 2 3 4 5; do
    for diary in empty million; do
        CHRONOTEKA_QUIT_AFTER_SHOW=1 /usr/bin/time -a -o "$work/$diary.rss" -f %M \
            env -C "$work/$diary" "$build/bin/chronoteka"
    done
done

echo "The last round of the start-up:"
cat "$work/startup.md"
echo
cat "$work/handover.md"
echo
cat "$work/million.md"
python3 - "$work/handover.json" "$work/million.json" "$work/empty.rss" "$work/million.rss" \
    "$work"/startup.*.json <<'PY'
import json, statistics, sys
# Real time (medians) and processor time (user + system, means), which a busy machine disturbs less.
def load(path):
    return {r["command"]: r for r in json.load(open(path))["results"]}
handover, million = load(sys.argv[1]), load(sys.argv[2])
rounds = [load(path) for path in sys.argv[5:]]
cpu = lambda r: r["user"] + r["system"]
def line(runs, name, goal, against="bare Qt window", figure=""):
    run, bare = runs[name], runs[against]
    print("%s%s / %s: %.2f real, %.2f CPU (at most %s)"
          % (figure, name, against, run["median"] / bare["median"], cpu(run) / cpu(bare), goal))
def rounded(name, goal, against="bare Qt window"):
    real = [r[name]["median"] / r[against]["median"] for r in rounds]
    time = [cpu(r[name]) / cpu(r[against]) for r in rounds]
    print("%s / %s: %.2f real, %.2f CPU (medians of %d rounds; real %.2f-%.2f; at most %s)"
          % (name, against, statistics.median(real), statistics.median(time), len(rounds), min(real), max(real), goal))
rounded("empty diary", "1.2")
rounded("10,000 events", "1.3")
line(handover, "second start, handed over", "1.2")
line(million, "1,000,000 events", "1.5", "empty diary", "start, ")
rss = [statistics.median(int(kib) for kib in open(path)) for path in sys.argv[3:5]]
print("resident memory, 1,000,000 events / empty diary: %.2f (%.0f MB / %.0f MB, medians of 5; at most 2)"
      % (rss[1] / rss[0], rss[1] / 1024, rss[0] / 1024))
PY
