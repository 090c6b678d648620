#!/bin/bash
# The Parquet output of qavn-extract on the demo project, read by two real
# readers, DuckDB (its node package) and hyparquet: every value equals the CSV
# output of the same selection (implied decimals applied, empty cells null,
# text with commas and an apostrophe intact), with reserved codes kept and
# emptied and with one merged table; the columns are typed (variables.parquet
# says as what); the pages are zstd-compressed and the statistics count the
# nulls; the mean of POVRAT with missing values excluded is the raw data's;
# DuckDB runs duckdb.sql in a moved copy of the folder, a view holds every
# case and the labelled view the labels. Skips with a message when node or
# the npm packages cannot be had.
#
# Usage: formats_parquet.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
if ! NPM_DIR=$("$SRC/scripts/npm-readers.sh" 2>"${TMPDIR:-/tmp}/qavn-npm-$$.txt"); then
    skip "the Parquet readers are not available: $(tr '\n' ' ' <"${TMPDIR:-/tmp}/qavn-npm-$$.txt")"
    rm -f "${TMPDIR:-/tmp}/qavn-npm-$$.txt"
    exit 0
fi
rm -f "${TMPDIR:-/tmp}/qavn-npm-$$.txt"
make_work parquet-out
demo_project "$WORK/project"

COUNT=$(extract --list | wc -l)
mkdir -p "$WORK/pq-keep" "$WORK/csv-keep" "$WORK/pq-empty" "$WORK/csv-empty" "$WORK/pq-merged" "$WORK/csv-merged"
extract --tag "1-$COUNT" --write parquet "$WORK/pq-keep" --write csv "$WORK/csv-keep" >"$WORK/files.txt" ||
    fail "parquet output failed"
grep -q '/pq-keep/duckdb.sql$' "$WORK/files.txt" || fail "generated files: $(cat "$WORK/files.txt")"
extract --tag "1-$COUNT" --reserved empty --write parquet "$WORK/pq-empty" --write csv "$WORK/csv-empty" >/dev/null ||
    fail "parquet output with --reserved empty failed"
# The youth and parent files (both with an identifier) matched into one table.
extract --tag 1-40,388-400 --merge --write parquet "$WORK/pq-merged" --write csv "$WORK/csv-merged" >/dev/null ||
    fail "merged parquet output failed"
[ "$(ls "$WORK/pq-merged")" = "$(printf 'duckdb.sql\nmerged.parquet\nvalue_labels.parquet\nvariables.parquet')" ] ||
    fail "merged output wrote: $(ls "$WORK/pq-merged")"
ls -A "$WORK"/pq-* | grep -q '\.qavn-' && fail "a temporary file was left behind"

# The source's mean of POVRAT (two implied decimals) from the raw data, the
# reserved codes and blanks left out.
extract --show "$(extract --list | awk -F'\t' '{split($2, w, " "); if (w[1] == "POVRAT") print $1}')" >"$WORK/povrat.txt"
/usr/bin/python3 - "$WORK" "$COUNT" <<'PY' || fail "could not compute the source's statistics"
import json, sys
work, count = sys.argv[1], int(sys.argv[2])
show = dict(line.split(": ", 1) for line in open(f"{work}/povrat.txt").read().split("\n") if ": " in line)
first, last = (int(x) for x in show["location"].split("-"))
line = int(show["recordNumber"]) - 1
raw = open(f"{work}/project/d/DATA/YOUTH97.DAT", encoding="latin-1").read().split("\n")
values = []
for i in range(len(raw) // 3):
    field = raw[i * 3 + line][first - 1:last].strip()
    if field and not (field.startswith("-") and len(field) == 2):
        values.append(int(field) / 100)
mean = sum(values) / len(values)
types = {"DATA_YOUTH97": {"POVRAT": "DOUBLE", "KEY_RACE": "INTEGER", "SCH_NAME": "VARCHAR"}}
race = {"table": "DATA_YOUTH97", "column": "KEY_RACE", "missingCodes": 0}
json.dump({"runs": [
    {"parquet": "pq-keep", "csv": "csv-keep", "types": types, "labelled": race, "variables": count},
    {"parquet": "pq-empty", "csv": "csv-empty", "types": types,
     "means": [{"table": "DATA_YOUTH97", "column": "POVRAT", "mean": mean}]},
    {"parquet": "pq-merged", "csv": "csv-merged", "variables": 53},
    {"parquet": "pq-import", "csv": "csv-import", "variables": 4,
     "types": {"DATA_RESULTS": {"name": "VARCHAR", "score": "INTEGER", "ratio": "DOUBLE"}},
     "means": [{"table": "DATA_RESULTS", "column": "ratio", "mean": 1.8125},
               {"table": "DATA_RESULTS", "column": "score", "mean": 9.5}]},
]}, open(f"{work}/expected.json", "w"))
PY

# An imported project: a CSV source with a quoted text holding a comma, an
# apostrophe, doubled quotes and letters above 127, whole numbers, numbers
# with decimals of their own, and empty cells.
need_tools qavn-import
cat >"$WORK/results.csv" <<'CSV'
name,score,ratio,grp
"O'Neil, Jr.",12,0.125,1
"Zoë ""Z""",7,,2
München,,3.5,1
CSV
"$BIN/qavn-import" "$WORK/results.csv" --id RESULTS --out "$WORK/results" >/dev/null || fail "import of the CSV failed"
mkdir -p "$WORK/pq-import" "$WORK/csv-import"
(cd "$WORK/results" && "$BIN/qavn-extract" P=RESULTS --tag 1-4 --write parquet "$WORK/pq-import" \
    --write csv "$WORK/csv-import" >/dev/null) || fail "parquet output of the imported project failed"

mkdir "$WORK/readers"
cp "$SRC/tests/npm/check_extract.mjs" "$WORK/readers/"
ln -s "$NPM_DIR/node_modules" "$WORK/readers/node_modules"
node "$WORK/readers/check_extract.mjs" "$WORK" || die "a reader does not read the extract as the data hold it"
echo PASS
