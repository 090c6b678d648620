#!/usr/bin/env bash
# qavn-extract --query on the bundled demo project: the count line and the
# rows as --list prints them, the matches tagged for the outputs of the same
# call (the tag file written holds exactly them), and a syntax error refused
# with exit status 2, its message and column, before anything is written.
#
# Usage: extract_query.sh BIN_DIR SOURCE_DIR
. "$(dirname "$0")/lib/common.sh" "$@"
make_work query
count_failures
demo_project "$WORK/demo"

extract --list > "$WORK/list"
# Labels holding the word INCOME (any case), from the list alone.
awk -F'\t' '{ if (toupper(substr($2, 10)) ~ /(^|[^A-Z0-9_])INCOME([^A-Z0-9_]|$)/) print $1 }' "$WORK/list" > "$WORK/expected"
[[ -s "$WORK/expected" ]] || fail "the demo project has no label with the word income"

extract --query 'label:INCOME' --write tag-file "$WORK/out.tag" > "$WORK/out" 2> "$WORK/err" ||
    fail "--query with --write failed: $(cat "$WORK/err")"
count=$(wc -l < "$WORK/expected")
[[ $(head -n 1 "$WORK/out") == "$count matching variables" ]] || fail "count line: $(head -n 1 "$WORK/out")"
awk -F'\t' 'NR == FNR { want[$1] = 1; next } ($1 in want)' "$WORK/expected" "$WORK/list" > "$WORK/rows"
tail -n +2 "$WORK/out" | diff -q - "$WORK/rows" > /dev/null || fail "the rows printed are not the matching rows of --list"
[[ -f "$WORK/out.tag" ]] || fail "no tag file written"
tr -d ' \r' < "$WORK/out.tag" | grep -v '^$' | sort -n | diff -q - <(sort -n "$WORK/expected") > /dev/null ||
    fail "the tag file does not hold exactly the matches"

# NOT over the whole list: the complement.
extract --query 'NOT label:income' > "$WORK/not"
[[ $(head -n 1 "$WORK/not") == "$(( $(wc -l < "$WORK/list") - count )) matching variables" ]] ||
    fail "NOT label:income: $(head -n 1 "$WORK/not")"

status=0
extract --query 'label:(income OR' --write tag-file "$WORK/bad.tag" > "$WORK/out" 2> "$WORK/err" || status=$?
[[ $status -eq 2 ]] || fail "a syntax error exits $status, not 2"
grep -q "OR needs a term after it at column 15" "$WORK/err" || fail "syntax error message: $(cat "$WORK/err")"
[[ ! -e "$WORK/bad.tag" ]] || fail "a syntax error still wrote the output"

[[ $failures -eq 0 ]] && echo "PASS" || exit 1
