#!/usr/bin/env bash
# qavn-extract's selection by search and by tag files, on the bundled demo
# project: --search tags every match (the text upper-cased as the Search
# dialog types it), --in picks the fields, --whole-words the word rule; a
# search that finds nothing says so on standard error without failing the
# run; --tags with --and / --or combines two tag files. Label searches are
# checked against the rule computed here from the --list output alone.
#
# Usage: extract_search.sh BIN_DIR SOURCE_DIR
. "$(dirname "$0")/lib/common.sh" "$@"
make_work search
count_failures
demo_project "$WORK/demo"

extract --list > "$WORK/list"
[[ $(wc -l < "$WORK/list") -gt 100 ]] || fail "the demo project lists too few variables"

# Rows (one number a line) whose label's first occurrence of $1 passes the
# word rule ($2 = 1) or whose label holds $1 at all ($2 = 0); labels start at
# the 10th character of the row text and are compared upper-cased.
expected_labels() {
    awk -F'\t' -v text="$1" -v whole="$2" '{
        label = toupper(substr($2, 10)); p = index(label, text)
        if (p == 0) next
        if (whole == 1) {
            before = (p > 1) ? substr(label, p - 1, 1) : " "
            after = substr(label, p + length(text), 1)
            if (before ~ /[!-~]/ || after ~ /[!-~]/) next
        }
        print $1
    }' "$WORK/list"
}
rows_of() { cut -f1 "$1"; }

# Names: the default field; lower-case text is typed upper-cased.
extract --search hhrel --list-tagged > "$WORK/out" 2> "$WORK/err" || fail "--search hhrel failed"
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "10 11 12 13 14 15 16 17 " ]] \
    || fail "--search hhrel tagged $(rows_of "$WORK/out" | tr '\n' ' ')"
[[ ! -s "$WORK/err" ]] || fail "--search hhrel wrote to stderr: $(cat "$WORK/err")"

# Labels, with and without the word rule.
for whole in 0 1; do
    args=(--search age --in label)
    [[ $whole == 1 ]] && args+=(--whole-words)
    extract "${args[@]}" --list-tagged > "$WORK/out" 2>/dev/null || fail "${args[*]} failed"
    expected_labels AGE $whole > "$WORK/want"
    [[ -s "$WORK/want" ]] || fail "the demo has no label holding AGE"
    diff <(rows_of "$WORK/out") "$WORK/want" > /dev/null || fail "${args[*]} tagged other rows than the rule says"
done
extract --search age --in label --whole-words --list-tagged > "$WORK/ww" 2>/dev/null
extract --search age --in label --list-tagged > "$WORK/all" 2>/dev/null
[[ $(wc -l < "$WORK/ww") -lt $(wc -l < "$WORK/all") ]] || fail "--whole-words removed no match of AGE"

# Descriptions and category lines.
extract --search 'roster lists' --in description --list-tagged > "$WORK/out" 2>/dev/null
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "10 11 12 13 14 15 16 17 " ]] \
    || fail "a description search tagged $(rows_of "$WORK/out" | tr '\n' ' ')"
extract --search 'half sibling' --in category --list-tagged > "$WORK/out" 2>/dev/null
grep -q "^10	HHREL1 " "$WORK/out" || fail "a category search missed HHREL1"
extract --search 'half sibling' --in name,label --list-tagged > "$WORK/out" 2>/dev/null || true
[[ ! -s "$WORK/out" ]] || fail "a name and label search found a category label"

# The search adds to the rest of the selection.
extract --tag 3 --search hhrel1 --list-tagged > "$WORK/out" 2>/dev/null
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "3 10 " ]] || fail "--tag 3 --search hhrel1 gave $(rows_of "$WORK/out" | tr '\n' ' ')"

# Nothing found: a message, not a failure; an output then has nothing to write.
if extract --search zqxj --in name,label,description,category --list-tagged > "$WORK/out" 2> "$WORK/err"; then
    [[ ! -s "$WORK/out" ]] || fail "a failed search tagged something"
    grep -qx "Cannot Find 'ZQXJ' !" "$WORK/err" || fail "no Cannot Find message: $(cat "$WORK/err")"
else
    fail "a search that finds nothing failed the run"
fi
if extract --search zqxj --tag-file "$WORK/none.tag" > /dev/null 2> "$WORK/err"; then
    fail "an output of an empty selection succeeded"
fi
grep -q "No Tagged Item !" "$WORK/err" || fail "no empty-selection message: $(cat "$WORK/err")"
if extract --search '' > /dev/null 2>&1; then fail "an empty search text was accepted"; fi

# Tag files, alone and combined.
printf '1\r\n4\r\n9\r\n' > "$WORK/a.tag"
printf '4\r\n5\r\n9\r\n' > "$WORK/b.tag"
extract --tags "$WORK/a.tag" --and "$WORK/b.tag" --list-tagged > "$WORK/out"
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "4 9 " ]] || fail "--and gave $(rows_of "$WORK/out" | tr '\n' ' ')"
extract --tags "$WORK/a.tag" --or "$WORK/b.tag" --list-tagged > "$WORK/out"
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "1 4 5 9 " ]] || fail "--or gave $(rows_of "$WORK/out" | tr '\n' ' ')"
printf '2\r\n' > "$WORK/c.tag"
extract --tags "$WORK/a.tag" --and "$WORK/c.tag" --list-tagged > "$WORK/out" 2> "$WORK/err" || true
[[ ! -s "$WORK/out" ]] || fail "--and of disjoint files tagged something"
grep -qx "No Tagged Item !" "$WORK/err" || fail "--and of disjoint files: $(cat "$WORK/err")"
extract --tags "$WORK/missing.tag" --or "$WORK/b.tag" --list-tagged > "$WORK/out" 2> "$WORK/err" || true
grep -q "^Cannot Open .*missing.tag !$" "$WORK/err" || fail "no Cannot Open message: $(cat "$WORK/err")"
grep -qx "No Tagged Item !" "$WORK/err" || fail "a missing file of two gave no No Tagged Item message"
if extract --tags "$WORK/missing.tag" --list-tagged > /dev/null 2>&1; then
    fail "a missing tag file did not fail the run"
fi
# A tag file written by the tool reads back to the same selection.
extract --search hhage --tag-file "$WORK/hhage.tag" > /dev/null 2>&1 || fail "--tag-file failed"
extract --tags "$WORK/hhage.tag" --list-tagged > "$WORK/out" 2>/dev/null || fail "the written tag file did not read"
[[ "$(rows_of "$WORK/out" | tr '\n' ' ')" == "18 19 20 21 22 23 24 25 " ]] \
    || fail "a written tag file read back as $(rows_of "$WORK/out" | tr '\n' ' ')"

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "extract_search: all checks passed"
