#!/usr/bin/env bash
# qavn-extract's combining of tag files and saved selections on the bundled
# demo project: --and/--or/--not/--minus change the term of the --tags before
# them in order, @NAME names a selection saved by --save-selection (or File >
# Save Selection), and a saved selection that is damaged or made for another
# codebook is a usage error naming its file and line.
#
# Usage: extract_selections.sh BIN_DIR SOURCE_DIR
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
rows=$(extract --list 2> /dev/null | wc -l)
tagged() { extract "$@" --list-tagged 2> "$work/err" | cut -f1 | tr '\n' ' '; }

printf '1\r\n4\r\n9\r\n' > "$work/a.tag"
printf '4\r\n5\r\n9\r\n' > "$work/b.tag"
printf '9\r\n' > "$work/c.tag"

# Chains apply in order; NOT takes the complement of its file.
[[ "$(tagged --tags "$work/a.tag" --or "$work/b.tag" --minus "$work/c.tag")" == "1 4 5 " ]] \
    || fail "a OR b MINUS c: $(tagged --tags "$work/a.tag" --or "$work/b.tag" --minus "$work/c.tag")"
[[ "$(tagged --tags "$work/a.tag" --minus "$work/b.tag")" == "1 " ]] || fail "a MINUS b"
[[ "$(tagged --tags "$work/a.tag" --not "$work/b.tag" | wc -w)" == "$((rows - 3))" ]] || fail "NOT b"
[[ "$(tagged --tag 2 --tags "$work/a.tag" --and "$work/b.tag" --and "$work/c.tag")" == "2 9 " ]] \
    || fail "a term joins --tag as a union"

# A saved selection, used by name.
extract --tags "$work/a.tag" --or "$work/b.tag" --save-selection both > /dev/null 2> "$work/err" \
    || fail "--save-selection failed: $(cat "$work/err")"
[[ -f DEMOQAV.SEL/both.sel ]] || fail "no DEMOQAV.SEL/both.sel"
[[ "$(head -c 22 DEMOQAV.SEL/both.sel)" == "QAVN-TAGS 1 variables=" ]] || fail "both.sel: $(head -1 DEMOQAV.SEL/both.sel)"
[[ "$(tagged --tags @both --minus "$work/c.tag")" == "1 4 5 " ]] || fail "@both MINUS c"
[[ "$(tagged --tags "$work/c.tag" --or @both --and "$work/a.tag")" == "1 4 9 " ]] || fail "c OR @both AND a"

# Errors: usage errors (status 2) naming the file and line.
check_usage() {
    local want=$1; shift
    local status=0
    extract "$@" --list-tagged > "$work/out" 2> "$work/err" || status=$?
    [[ $status == 2 ]] || fail "$* exited with $status"
    [[ ! -s "$work/out" ]] || fail "$* printed a selection"
    grep -qF -- "$want" "$work/err" || fail "$*: $(cat "$work/err")"
}
check_usage "--and changes the selection of a --tags given before it" --and "$work/a.tag"
check_usage "--save-selection: a selection name holds no / or \\" --tag 1 --save-selection a/b
check_usage "DEMOQAV.SEL/gone.sel (host path $work/demo/DEMOQAV.SEL/gone.sel): No such file" --tags @gone
printf 'QAVN-TAGS 1 variables=%s names=0000000000000000\r\n1\r\n' "$rows" > DEMOQAV.SEL/other.sel
check_usage "DEMOQAV.SEL/other.sel line 1: saved for another codebook" --tags "$work/a.tag" --and @other
head -1 DEMOQAV.SEL/both.sel > DEMOQAV.SEL/bad.sel
printf '3\r\nthree\r\n' >> DEMOQAV.SEL/bad.sel
check_usage "DEMOQAV.SEL/bad.sel line 3: not a variable number: 'three'" --tags @bad
# A tag file that does not open fails the run as --tags alone does.
status=0
extract --tags "$work/a.tag" --minus "$work/missing.tag" > /dev/null 2> "$work/err" || status=$?
[[ $status == 1 ]] || fail "a missing file in a chain exited with $status"
grep -q "^Cannot Open .*missing.tag !$" "$work/err" || fail "missing file in a chain: $(cat "$work/err")"

if [[ $failures -ne 0 ]]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "ok"
