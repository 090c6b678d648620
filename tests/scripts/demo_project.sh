#!/usr/bin/env bash
# Builds the bundled demo project with qavn-mkproject and opens it with the
# batch tool; checks that synthetic projects come out the same from one seed.
# Usage: demo_project.sh BIN-DIR SOURCE-DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$bin/qavn-mkproject" "$src/samples/demo/demo.json" --out "$work/demo" >/dev/null
cd "$work/demo"
export QAVN_DRIVE_C="$work/demo/c" QAVN_DRIVE_D="$work/demo/d"

list=$("$bin/qavn-extract" P=DEMO --list) || fail "--list exited $?"
[[ "$(head -1 <<<"$list")" == $'1\tKEY_SEX  Respondent\'s sex' ]] || fail "first row: $(head -1 <<<"$list")"
rows=$(wc -l <<<"$list")
(( rows >= 500 && rows <= 700 )) || fail "$rows rows"
weight=$(grep -P '^\d+\tWEIGHT ' <<<"$list" | cut -f1) || fail "no WEIGHT variable"

show=$("$bin/qavn-extract" P=DEMO --show 1) || fail "--show 1 exited $?"
expected=$'name: KEY_SEX\nfileNumber: 1\nrecordNumber: 1\nlocation: 6\ntypeCode: A\nlabel: Respondent\'s sex\nsection: KEY VARIABLES'
[[ "$(head -7 <<<"$show")" == "$expected" ]] || fail "--show 1 began: $(head -7 <<<"$show")"
grep -qP "^'M'\t\d+\t\d+\.\d\tMale$" <<<"$show" || fail "--show 1 has no 'M' category line"

long=$("$bin/qavn-extract" P=DEMO --show "$weight") || fail "--show $weight exited $?"
chars=$(sed -n '/^description:$/,/^categories:$/p' <<<"$long" | wc -c)
(( chars > 32000 )) || fail "the weight description has only $chars characters"

# The synthetic projects: same seed, same bytes; another seed, other bytes.
for run in a b; do
    "$bin/qavn-mkproject" --synthetic --variables 300 --cases 7 --seed 3 --out "$work/syn-$run" >/dev/null
done
"$bin/qavn-mkproject" --synthetic --variables 300 --cases 7 --seed 4 --out "$work/syn-c" >/dev/null
diff -r "$work/syn-a" "$work/syn-b" >/dev/null || fail "two synthetic projects from one seed differ"
cmp -s "$work/syn-a/c/QAVN/SYN/SYN02.CDC" "$work/syn-c/c/QAVN/SYN/SYN02.CDC" && fail "seeds 3 and 4 give the same text file"
cd "$work/syn-a"
QAVN_DRIVE_C="$work/syn-a/c" QAVN_DRIVE_D="$work/syn-a/d" "$bin/qavn-extract" P=SYN --show 10 | grep -q TENTHMARK \
    || fail "variable 10 of the synthetic project lacks TENTHMARK"
echo "demo project and synthetic projects OK"
