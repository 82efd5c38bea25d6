#!/usr/bin/env bash
# install.sh <build folder> <desktop-file-validate>: installs into a temporary prefix with a blank in its name,
# checks the files, validates the menu entry, and runs the wrapper against a stand-in program.
set -euo pipefail
build=$1
validate=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/usr local"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/chronoteka bin/chronoteka-diary bin/chronoteka-newdb share/chronoteka/db1.mdb share/chronoteka/help2.htm \
    share/applications/chronoteka.desktop share/icons/hicolor/scalable/apps/chronoteka.svg; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/chronoteka" ] && [ -x "$prefix/bin/chronoteka-diary" ] && [ -x "$prefix/bin/chronoteka-newdb" ] ||
    fail "the programs are not executable"
head -c 16 "$prefix/share/chronoteka/db1.mdb" | grep -q "SQLite format 3" || fail "db1.mdb is not an empty diary"
grep -q "<svg" "$prefix/share/icons/hicolor/scalable/apps/chronoteka.svg" || fail "the icon is not an SVG drawing"

entry="$prefix/share/applications/chronoteka.desktop"
"$validate" "$entry" || fail "desktop-file-validate rejects the entry"
for line in "Name=Хронотека" "Categories=Office;Calendar;" "Icon=chronoteka" "Type=Application" \
    "Exec=\"$prefix/bin/chronoteka-diary\""; do
    grep -qxF "$line" "$entry" || fail "the entry lacks: $line"
done
# Cyrillic letters are the bytes D0 and D1 followed by one more in UTF-8.
LC_ALL=C grep -q "^Comment=.*[$(printf '\320\321')]" "$entry" || fail "the entry has no Russian comment"

# The wrapper, with a stand-in program that tells where it was started.
cat >"$prefix/bin/chronoteka" <<'STUB'
#!/bin/sh
pwd
STUB
export XDG_DATA_HOME="$work/data"
diary="$XDG_DATA_HOME/chronoteka"
started=$("$prefix/bin/chronoteka-diary")
[ "$started" = "$diary" ] || fail "the program started in '$started', not in the diary folder '$diary'"
cmp -s "$diary/db1.mdb" "$prefix/share/chronoteka/db1.mdb" || fail "the first start did not provide the empty diary"
cmp -s "$diary/help2.htm" "$prefix/share/chronoteka/help2.htm" || fail "the first start did not provide the help page"

echo "my events" >"$diary/db1.mdb"
"$prefix/bin/chronoteka-diary" >/dev/null
[ "$(cat "$diary/db1.mdb")" = "my events" ] || fail "the wrapper touched an existing diary"
[ -z "$(find "$diary" -name '.*')" ] || fail "the wrapper left temporary files behind"

CHRONOTEKA_DIR="$work/другой дневник" "$prefix/bin/chronoteka-diary" >/dev/null
[ -s "$work/другой дневник/db1.mdb" ] || fail "CHRONOTEKA_DIR is not honoured"

mkdir "$work/server"
echo "Provider=PostgreSQL;Data Source=dbname=diary" >"$work/server/database.conf"
CHRONOTEKA_DIR="$work/server" "$prefix/bin/chronoteka-diary" >/dev/null
[ ! -e "$work/server/db1.mdb" ] || fail "the wrapper made a db1.mdb beside database.conf"
echo "installed and checked under $prefix"
