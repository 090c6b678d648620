#!/usr/bin/env bash
# qavn-extract's combining of tag files and saved selections on the bundled
# demo project: --and/--or/--not/--minus change the term of the --tags before
# them in order, @NAME names a selection saved by --save-selection (or File >
# Save Selection), and a saved selection that is damaged or made for another
# codebook is a usage error naming its file and line.
#
# Usage: extract_selections.sh BIN_DIR SOURCE_DIR
. "$(dirname "$0")/lib/common.sh" "$@"
make_work selections
count_failures
demo_project "$WORK/demo"
rows=$(extract --list 2> /dev/null | wc -l)
tagged() { extract "$@" --list-tagged 2> "$WORK/err" | cut -f1 | tr '\n' ' '; }

printf '1\r\n4\r\n9\r\n' > "$WORK/a.tag"
printf '4\r\n5\r\n9\r\n' > "$WORK/b.tag"
printf '9\r\n' > "$WORK/c.tag"

# Chains apply in order; NOT takes the complement of its file.
[[ "$(tagged --tags "$WORK/a.tag" --or "$WORK/b.tag" --minus "$WORK/c.tag")" == "1 4 5 " ]] \
    || fail "a OR b MINUS c: $(tagged --tags "$WORK/a.tag" --or "$WORK/b.tag" --minus "$WORK/c.tag")"
[[ "$(tagged --tags "$WORK/a.tag" --minus "$WORK/b.tag")" == "1 " ]] || fail "a MINUS b"
[[ "$(tagged --tags "$WORK/a.tag" --not "$WORK/b.tag" | wc -w)" == "$((rows - 3))" ]] || fail "NOT b"
[[ "$(tagged --tag 2 --tags "$WORK/a.tag" --and "$WORK/b.tag" --and "$WORK/c.tag")" == "2 9 " ]] \
    || fail "a term joins --tag as a union"

# A saved selection, used by name.
extract --tags "$WORK/a.tag" --or "$WORK/b.tag" --save-selection both > /dev/null 2> "$WORK/err" \
    || fail "--save-selection failed: $(cat "$WORK/err")"
[[ -f DEMOQAV.SEL/both.sel ]] || fail "no DEMOQAV.SEL/both.sel"
[[ "$(head -c 22 DEMOQAV.SEL/both.sel)" == "QAVN-TAGS 1 variables=" ]] || fail "both.sel: $(head -1 DEMOQAV.SEL/both.sel)"
[[ "$(tagged --tags @both --minus "$WORK/c.tag")" == "1 4 5 " ]] || fail "@both MINUS c"
[[ "$(tagged --tags "$WORK/c.tag" --or @both --and "$WORK/a.tag")" == "1 4 9 " ]] || fail "c OR @both AND a"

# Errors naming the file and line: usage errors (status 2) when the command
# line is wrong, failures (status 1) when a saved selection cannot be used.
check_error() {
    local expected=$1 want=$2; shift 2
    local status=0
    extract "$@" --list-tagged > "$WORK/out" 2> "$WORK/err" || status=$?
    [[ $status == "$expected" ]] || fail "$* exited with $status"
    [[ ! -s "$WORK/out" ]] || fail "$* printed a selection"
    grep -qF -- "$want" "$WORK/err" || fail "$*: $(cat "$WORK/err")"
}
check_error 2 "--and changes the selection of a --tags given before it" --and "$WORK/a.tag"
check_error 2 "--save-selection: a selection name holds no / or \\" --tag 1 --save-selection a/b
check_error 1 "DEMOQAV.SEL/gone.sel (host path $WORK/demo/DEMOQAV.SEL/gone.sel): No such file" --tags @gone
printf 'QAVN-TAGS 1 variables=%s names=0000000000000000\r\n1\r\n' "$rows" > DEMOQAV.SEL/other.sel
check_error 1 "DEMOQAV.SEL/other.sel line 1: saved for another codebook" --tags "$WORK/a.tag" --and @other
head -1 DEMOQAV.SEL/both.sel > DEMOQAV.SEL/bad.sel
printf '3\r\nthree\r\n' >> DEMOQAV.SEL/bad.sel
check_error 1 "DEMOQAV.SEL/bad.sel line 3: not a variable number: 'three'" --tags @bad
# A tag file that does not open fails the run as --tags alone does.
status=0
extract --tags "$WORK/a.tag" --minus "$WORK/missing.tag" > /dev/null 2> "$WORK/err" || status=$?
[[ $status == 1 ]] || fail "a missing file in a chain exited with $status"
grep -q "^Cannot Open .*missing.tag !$" "$WORK/err" || fail "missing file in a chain: $(cat "$WORK/err")"

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "ok"
