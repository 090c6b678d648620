#!/bin/bash
# qavn-open with a data set: the first open imports it into a project under
# $XDG_DATA_HOME/qavn/projects and starts the program there; opening the
# same unchanged file again starts it at once on that project; a changed file
# (size or modification time) is imported again; a file of the same name in
# another folder gets a project of its own; a bad file is refused with its
# name and place, and opens nothing.
#
# Usage: open_import.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-import
make_work open
# The launcher beside a stand-in program that notes where and how it ran.
mkdir "$WORK/bin" "$WORK/a" "$WORK/b"
cp "$SRC/src/resources/qavn-open" "$WORK/bin/qavn-open"
ln -s "$BIN/qavn-import" "$WORK/bin/qavn-import"
printf '#!/bin/sh\necho "$(pwd) $*" >>"%s/ran"\n' "$WORK" >"$WORK/bin/qavn"
chmod +x "$WORK/bin/qavn-open" "$WORK/bin/qavn"
export XDG_DATA_HOME="$WORK/xdg"
unset DISPLAY WAYLAND_DISPLAY QAVN_DRIVE_C QAVN_DRIVE_D

open() { "$WORK/bin/qavn-open" "$1" 2>"$WORK/err" || fail "qavn-open $1: $(cat "$WORK/err")"; tail -1 "$WORK/ran"; }

printf 'id,age\n1,34\n2,51\n' >"$WORK/a/Survey 1.csv"
first=$(open "$WORK/a/Survey 1.csv")
dir=${first% P=*}
[ "${first##* }" = "P=SURVEY_1" ] || fail "opened $first"
case "$dir" in "$XDG_DATA_HOME"/qavn/projects/*) ;; *) fail "project made in $dir" ;; esac
[ -f "$dir/SURVEY_1QAV.CFG" ] || fail "no project in $dir"
grep -q "importing" "$WORK/err" || fail "the import was not shown"

touch "$dir/marker"
[ "$(open "$WORK/a/Survey 1.csv")" = "$first" ] || fail "the second open went elsewhere"
[ -e "$dir/marker" ] && [ ! -s "$WORK/err" ] || fail "an unchanged file was imported again"

printf '3,7\n' >>"$WORK/a/Survey 1.csv"
[ "$(open "$WORK/a/Survey 1.csv")" = "$first" ] || fail "the changed file opened elsewhere"
grep -q "importing" "$WORK/err" || fail "a changed file was not imported again"
grep -q "Cases: 3 valid" <(cd "$dir" && "$BIN/qavn-extract" P=SURVEY_1 --show 2) || fail "the new case is missing"
# The user's file in the project folder survives the new import.
[ -e "$dir/marker" ] || fail "the import again lost a file it did not make"

# A project made before imports carried their marker is kept aside, not refused.
rm "$dir/.qavn-import"
printf '4,9\n' >>"$WORK/a/Survey 1.csv"
[ "$(open "$WORK/a/Survey 1.csv")" = "$first" ] || fail "a project without its marker opened elsewhere"
ls -d "$dir".old-* >/dev/null 2>&1 && [ -e "$dir"/.qavn-import ] || fail "the project without its marker was not kept aside"

cp "$WORK/a/Survey 1.csv" "$WORK/b/Survey 1.csv"
other=$(open "$WORK/b/Survey 1.csv")
[ "${other% P=*}" != "$dir" ] || fail "a file of the same name in another folder shares the project"

printf 'a,b\n1,2\n3\n' >"$WORK/a/ragged.csv"
lines=$(wc -l <"$WORK/ran")
status=0
"$WORK/bin/qavn-open" "$WORK/a/ragged.csv" 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "ragged.csv: line 3" "$WORK/err" || fail "a bad file was not refused ($status)"
[ "$(wc -l <"$WORK/ran")" -eq "$lines" ] || fail "a refused file opened the program"
[ -z "$(ls "$XDG_DATA_HOME/qavn/projects" | grep ragged || true)" ] || fail "a refused file left a project"
# The progress window's program makes the same project.
if [ -x "$BIN/qavn-import-window" ]; then
    QT_QPA_PLATFORM=offscreen "$BIN/qavn-import-window" "$WORK/a/Survey 1.csv" --id win --out "$WORK/win" \
        2>/dev/null || fail "qavn-import-window failed"
    cmp "$WORK/win/d/DATA/SURVEY_1.DAT" "$dir/d/DATA/SURVEY_1.DAT" || fail "the window's import differs"
fi
status=0
"$WORK/bin/qavn-open" /etc/hostname 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a file of no known kind exits $status"
echo "PASS"
