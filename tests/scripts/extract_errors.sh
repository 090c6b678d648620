#!/usr/bin/env bash
# qavn-extract's start-up diagnostics on standard error, on the bundled demo
# project: a file the project names that does not open is reported with the
# host path tried and the drive variable that maps it; a malformed project
# specification file with its line and the rule it breaks; an unreadable tag
# file line with its file and line. Start-up failures exit with status 1.
#
# Usage: extract_errors.sh BIN_DIR SOURCE_DIR
set -euo pipefail
export LC_ALL=C

bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
for tool in qavn-mkproject qavn-extract; do
    [[ -x "$bin/$tool" ]] || { echo "FAIL: $bin/$tool is missing"; exit 1; }
done
[[ -f "$src/samples/demo/demo.json" ]] || { echo "SKIP: no demo project source"; exit 0; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$bin/qavn-mkproject" "$src/samples/demo/demo.json" --out "$work/demo" >/dev/null
cd "$work/demo"
extract() { "$bin/qavn-extract" P=DEMO "$@" < /dev/null; }
status=0

# Drive C: unmapped: the specification file is looked for under /mnt/c.
unset QAVN_DRIVE_C
export QAVN_DRIVE_D="$work/demo/d"
extract --list > /dev/null 2> "$work/err" || status=$?
[[ $status == 1 ]] || fail "an unmapped drive exited with $status"
want='qavn-extract: cannot open C:\QAVN\DEMO\QAVSPEC.DEMO (host path /mnt/c/QAVN/DEMO/QAVSPEC.DEMO; drive C: maps through QAVN_DRIVE_C, which is not set): No such file or directory'
grep -qxF "$want" "$work/err" || fail "unmapped drive: $(cat "$work/err")"

# Mapped, with a data file line one field short.
export QAVN_DRIVE_C="$work/demo/c"
spec="$work/demo/c/QAVN/DEMO/QAVSPEC.DEMO"
[[ -f "$spec" ]] || { echo "FAIL: the demo has no $spec"; exit 1; }
cp "$spec" "$work/spec"
printf 'TITLE\r\nDEMO\r\n2\r\n1 0 DATA\\A.DAT\r\n2 1-5\r\n' > "$spec"
status=0
extract --list > /dev/null 2> "$work/err" || status=$?
[[ $status == 1 ]] || fail "a malformed specification exited with $status"
grep -qxF 'qavn-extract: C:\QAVN\DEMO\QAVSPEC.DEMO line 5: data-file line has 2 fields, 3 needed' "$work/err" \
    || fail "malformed specification: $(cat "$work/err")"
cp "$work/spec" "$spec"

# Tag file lines that hold no number are named; the others still tag.
printf '1\r\nabc\r\n3\r\n' > "$work/t.tag"
extract --tags "$work/t.tag" --list-tagged > "$work/out" 2> "$work/err" || fail "--tags with a garbage line failed"
[[ "$(cut -f1 "$work/out" | tr '\n' ' ')" == "1 3 " ]] || fail "--tags tagged $(cut -f1 "$work/out" | tr '\n' ' ')"
grep -qxF "qavn-extract: $work/t.tag line 2: no variable number: 'abc'" "$work/err" \
    || fail "garbage tag line: $(cat "$work/err")"

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "extract_errors: all checks passed"
