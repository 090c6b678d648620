#!/usr/bin/env bash
# qavn-extract's start-up diagnostics on standard error, on the bundled demo
# project: a file the project names that does not open is reported with the
# host path tried and the drive variable that maps it; a malformed project
# specification file with its line and the rule it breaks; an unreadable tag
# file line with its file and line. Start-up failures exit with status 1; a
# variable number outside the project is a usage error (status 2); the tool
# never asks a question.
#
# Usage: extract_errors.sh BIN_DIR SOURCE_DIR
. "$(dirname "$0")/lib/common.sh" "$@"
make_work errors
count_failures
demo_project "$WORK/demo"
extract() { "$BIN/qavn-extract" P=DEMO "$@" < /dev/null; }
status=0

# Drive C: unmapped: the project specification file is looked for under
# /mnt/c (run from a folder with the configuration alone, as a folder named c
# beside it would stand for the drive).
unset QAVN_DRIVE_C
export QAVN_DRIVE_D="$WORK/demo/d"
mkdir "$WORK/alone"
cp "$WORK/demo/DEMOQAV.CFG" "$WORK/alone/"
(cd "$WORK/alone" && extract --list) > /dev/null 2> "$WORK/err" || status=$?
[[ $status == 1 ]] || fail "an unmapped drive exited with $status"
want='qavn-extract: cannot open C:\QAVN\DEMO\QAVSPEC.DEMO (host path /mnt/c/QAVN/DEMO/QAVSPEC.DEMO; drive C: maps through QAVN_DRIVE_C, which is not set): No such file or directory'
grep -qxF "$want" "$WORK/err" || fail "unmapped drive: $(cat "$WORK/err")"

# Mapped, with a data file line one field short.
export QAVN_DRIVE_C="$WORK/demo/c"
spec="$WORK/demo/c/QAVN/DEMO/QAVSPEC.DEMO"
[[ -f "$spec" ]] || { echo "FAIL: the demo has no $spec"; exit 1; }
cp "$spec" "$WORK/spec"
printf 'TITLE\r\nDEMO\r\n2\r\n1 0 DATA\\A.DAT\r\n2 1-5\r\n' > "$spec"
status=0
extract --list > /dev/null 2> "$WORK/err" || status=$?
[[ $status == 1 ]] || fail "a malformed specification exited with $status"
grep -qxF 'qavn-extract: C:\QAVN\DEMO\QAVSPEC.DEMO line 5: data-file line has 2 fields, 3 needed' "$WORK/err" \
    || fail "malformed specification: $(cat "$WORK/err")"
cp "$WORK/spec" "$spec"

# Tag file lines that hold no number are named; the others still tag.
printf '1\r\nabc\r\n3\r\n' > "$WORK/t.tag"
extract --tags "$WORK/t.tag" --list-tagged > "$WORK/out" 2> "$WORK/err" || fail "--tags with a garbage line failed"
[[ "$(cut -f1 "$WORK/out" | tr '\n' ' ')" == "1 3 " ]] || fail "--tags tagged $(cut -f1 "$WORK/out" | tr '\n' ' ')"
grep -qxF "qavn-extract: $WORK/t.tag line 2: no variable number: 'abc'" "$WORK/err" \
    || fail "garbage tag line: $(cat "$WORK/err")"

# Numbers outside the project: usage errors naming the number and the count.
rows=$(extract --list 2> /dev/null | wc -l)
for args in "--tag 3,$((rows + 1))" "--show $((rows + 1))" "--show 4294967308" "--tag 1-18446744073709551617"; do
    status=0
    number=${args##*[ -]}
    number=${number##*,}
    extract $args > "$WORK/out" 2> "$WORK/err" || status=$?
    [[ $status == 2 ]] || fail "$args exited with $status"
    [[ ! -s "$WORK/out" ]] || fail "$args printed $(cat "$WORK/out")"
    grep -qxF "qavn-extract: ${args%% *}: variable $number is outside 1..$rows, the project's variables" "$WORK/err" \
        || fail "$args: $(cat "$WORK/err")"
done

# A tag file line naming no variable is reported like an unreadable one.
printf '2\r\n%s\r\n' "$((rows + 1))" > "$WORK/t.tag"
extract --tags "$WORK/t.tag" --list-tagged > "$WORK/out" 2> "$WORK/err" || fail "--tags with an outside number failed"
[[ "$(cut -f1 "$WORK/out")" == "2" ]] || fail "--tags tagged $(cut -f1 "$WORK/out" | tr '\n' ' ')"
grep -qxF "qavn-extract: $WORK/t.tag line 2: variable $((rows + 1)) is not in the project, which has variables 1 to $rows" \
    "$WORK/err" || fail "outside tag line: $(cat "$WORK/err")"

# No configuration file: never a question, the file looked for and status 1.
status=0
"$BIN/qavn-extract" P=NOPE --list > /dev/null 2> "$WORK/err" < /dev/null || status=$?
[[ $status == 1 ]] || fail "a missing configuration exited with $status"
[[ "$(cat "$WORK/err")" == "qavn-extract: cannot open NOPEQAV.CFG (host path $WORK/demo/NOPEQAV.CFG): No such file or directory" ]] \
    || fail "missing configuration: $(cat "$WORK/err")"

# Counts no project has are refused before anything is allocated for them.
printf 'TITLE\r\nDEMO\r\n1\r\n2147483647 0 DATA\\A.DAT\r\n' > "$spec"
status=0
extract --list > /dev/null 2> "$WORK/err" || status=$?
[[ $status == 1 ]] || fail "lines per case 2147483647 exited with $status"
grep -qxF 'qavn-extract: C:\QAVN\DEMO\QAVSPEC.DEMO line 4: lines per case is 2147483647, at most 9999' "$WORK/err" \
    || fail "lines per case: $(cat "$WORK/err")"
cp "$WORK/spec" "$spec"
index=$(ls "$WORK/demo/c/QAVN/DEMO/"*01.CDC)
cp "$index" "$WORK/index"
for size in 0 $((4294967296 * 47)); do
    truncate -s "$size" "$index" 2> /dev/null || continue
    status=0
    extract --list > /dev/null 2> "$WORK/err" || status=$?
    [[ $status == 1 ]] || fail "an index of $size bytes exited with $status"
    grep -q '^qavn-extract: C:\\QAVN\\DEMO\\DEMO01.CDC byte [0-9]*: ' "$WORK/err" \
        || fail "an index of $size bytes: $(cat "$WORK/err")"
done
cp "$WORK/index" "$index"

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "extract_errors: all checks passed"
