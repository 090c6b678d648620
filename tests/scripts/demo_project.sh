#!/usr/bin/env bash
# Builds the bundled demo project with qavn-mkproject and opens it with the
# batch tool; checks that synthetic projects come out the same from one seed.
# Usage: demo_project.sh BIN-DIR SOURCE-DIR
. "$(dirname "$0")/lib/common.sh" "$@"
make_work demo
demo_project "$WORK/demo"

list=$("$BIN/qavn-extract" P=DEMO --list) || fail "--list exited $?"
[[ "$(head -1 <<<"$list")" == $'1\tKEY_SEX  Respondent\'s sex' ]] || fail "first row: $(head -1 <<<"$list")"
rows=$(wc -l <<<"$list")
(( rows >= 500 && rows <= 700 )) || fail "$rows rows"
weight=$(grep -P '^\d+\tWEIGHT ' <<<"$list" | cut -f1) || fail "no WEIGHT variable"

show=$("$BIN/qavn-extract" P=DEMO --show 1) || fail "--show 1 exited $?"
expected=$'name: KEY_SEX\nfileNumber: 1\nrecordNumber: 1\nlocation: 6\ntypeCode: A\nlabel: Respondent\'s sex\nsection: KEY VARIABLES'
[[ "$(head -7 <<<"$show")" == "$expected" ]] || fail "--show 1 began: $(head -7 <<<"$show")"
grep -qP "^'M'\t\d+\t\d+\.\d\tMale$" <<<"$show" || fail "--show 1 has no 'M' category line"

long=$("$BIN/qavn-extract" P=DEMO --show "$weight") || fail "--show $weight exited $?"
chars=$(sed -n '/^description:$/,/^categories:$/p' <<<"$long" | wc -c)
(( chars > 32000 )) || fail "the weight description has only $chars characters"

# The synthetic projects: same seed, same bytes; another seed, other bytes.
for run in a b; do
    "$BIN/qavn-mkproject" --synthetic --variables 300 --cases 7 --seed 3 --out "$WORK/syn-$run" >/dev/null
done
"$BIN/qavn-mkproject" --synthetic --variables 300 --cases 7 --seed 4 --out "$WORK/syn-c" >/dev/null
diff -r "$WORK/syn-a" "$WORK/syn-b" >/dev/null || fail "two synthetic projects from one seed differ"
cmp -s "$WORK/syn-a/c/QAVN/SYN/SYN02.CDC" "$WORK/syn-c/c/QAVN/SYN/SYN02.CDC" && fail "seeds 3 and 4 give the same text file"
cd "$WORK/syn-a"
QAVN_DRIVE_C="$WORK/syn-a/c" QAVN_DRIVE_D="$WORK/syn-a/d" "$BIN/qavn-extract" P=SYN --show 10 | grep -q TENTHMARK \
    || fail "variable 10 of the synthetic project lacks TENTHMARK"
echo "demo project and synthetic projects OK"
