#!/usr/bin/env bash
# qavn-extract --query on the bundled demo project: the count line and the
# rows as --list prints them, the matches tagged for the outputs of the same
# call (the tag file written holds exactly them), and a syntax error refused
# with exit status 2, its message and column, before anything is written.
#
# Usage: extract_query.sh BIN_DIR SOURCE_DIR
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
export QAVN_DRIVE_C="$work/demo/c" QAVN_DRIVE_D="$work/demo/d"
extract() { "$bin/qavn-extract" P=DEMO "$@"; }

extract --list > "$work/list"
# Labels holding the word INCOME (any case), from the list alone.
awk -F'\t' '{ if (toupper(substr($2, 10)) ~ /(^|[^A-Z0-9_])INCOME([^A-Z0-9_]|$)/) print $1 }' "$work/list" > "$work/expected"
[[ -s "$work/expected" ]] || fail "the demo project has no label with the word income"

extract --query 'label:INCOME' --write tag-file "$work/out.tag" > "$work/out" 2> "$work/err" ||
    fail "--query with --write failed: $(cat "$work/err")"
count=$(wc -l < "$work/expected")
[[ $(head -n 1 "$work/out") == "$count matching variables" ]] || fail "count line: $(head -n 1 "$work/out")"
awk -F'\t' 'NR == FNR { want[$1] = 1; next } ($1 in want)' "$work/expected" "$work/list" > "$work/rows"
tail -n +2 "$work/out" | diff -q - "$work/rows" > /dev/null || fail "the rows printed are not the matching rows of --list"
[[ -f "$work/out.tag" ]] || fail "no tag file written"
tr -d ' \r' < "$work/out.tag" | grep -v '^$' | sort -n | diff -q - <(sort -n "$work/expected") > /dev/null ||
    fail "the tag file does not hold exactly the matches"

# NOT over the whole list: the complement.
extract --query 'NOT label:income' > "$work/not"
[[ $(head -n 1 "$work/not") == "$(( $(wc -l < "$work/list") - count )) matching variables" ]] ||
    fail "NOT label:income: $(head -n 1 "$work/not")"

status=0
extract --query 'label:(income OR' --write tag-file "$work/bad.tag" > "$work/out" 2> "$work/err" || status=$?
[[ $status -eq 2 ]] || fail "a syntax error exits $status, not 2"
grep -q "OR needs a term after it at column 15" "$work/err" || fail "syntax error message: $(cat "$work/err")"
[[ ! -e "$work/bad.tag" ]] || fail "a syntax error still wrote the output"

[[ $failures -eq 0 ]] && echo "PASS" || exit 1
