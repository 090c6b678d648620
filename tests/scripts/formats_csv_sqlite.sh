#!/bin/bash
# The CSV and SQLite outputs of qavn-extract on the demo project, read back by
# real readers: pandas reads each CSV file (header, one row per case, implied
# decimals applied, a text value with commas and an apostrophe intact,
# reserved codes kept or emptied), sqlite3 queries the database (rows equal to
# the CSV files', a key on the unique identifier, value labels equal to the
# category lines, REAL columns holding the decimals).
#
# Usage: formats_csv_sqlite.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands sqlite3
need_pandas
make_work formats
demo_project "$WORK/project"

COUNT=$(extract --list | wc -l)
number() { extract --list | awk -F'\t' -v n="$1" '{split($2, w, " "); if (w[1] == n) print $1}'; }
POVRAT=$(number POVRAT)
KEY_RACE=$(number KEY_RACE)
[ -n "$POVRAT" ] && [ -n "$KEY_RACE" ] || fail "demo variables POVRAT and KEY_RACE not found"

# Usage errors.
status=0
extract --tag 1 --reserved maybe --write csv "$WORK" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "--reserved maybe gave status $status"

mkdir -p "$WORK/keep" "$WORK/empty"
extract --tag "1-$COUNT" --write csv "$WORK/keep" --write sqlite "$WORK/demo" >"$WORK/files.txt" ||
    fail "csv and sqlite outputs failed"
extract --tag "1-$COUNT" --reserved empty --write csv "$WORK/empty" >/dev/null || fail "--reserved empty failed"
[ -f "$WORK/demo.db" ] || fail "the database is not named demo.db"
[ "$(wc -l <"$WORK/files.txt")" -eq 3 ] || fail "generated files: $(cat "$WORK/files.txt")"
ls -A "$WORK" | grep -q '\.qavn-' && fail "a temporary file was left behind"

extract --show "$POVRAT" >"$WORK/povrat.txt"
extract --show "$KEY_RACE" | sed -n '/^categories:$/,$p' | tail -n +2 | cut -f1 >"$WORK/race_codes.txt"

/usr/bin/python3 - "$WORK" "$SRC/samples/demo/demo.json" <<'PY' || fail "CSV files read back wrong"
import json, sys
import pandas as pd

work, source = sys.argv[1], sys.argv[2]
demo = json.load(open(source))
cases = demo["cases"]
errors = []

keep = {}
for entry in demo["dataFiles"]:
    base = entry["dataPath"].split(".")[0].replace("\\", "_")
    frame = pd.read_csv(f"{work}/keep/{base}.csv", dtype=str, keep_default_na=False)
    keep[base] = frame
    if len(frame) != cases:
        errors.append(f"{base}: {len(frame)} rows for {cases} cases")
    has_id = not entry["idLocation"].startswith("0")
    if has_id != (frame.columns[0] == "ID"):
        errors.append(f"{base}: header starts {frame.columns[0]}")

# POVRAT: type 2 at 77-80 on line 1 of the youth file's 3-line cases.
show = dict(line.split(": ", 1) for line in open(f"{work}/povrat.txt").read().split("\n") if ": " in line)
first, last = (int(x) for x in show["location"].split("-"))
line = int(show["recordNumber"]) - 1
raw_lines = open(f"{work}/project/d/DATA/YOUTH97.DAT", encoding="latin-1").read().split("\n")
youth = keep["DATA_YOUTH97"]
checked = 0
for i in range(cases):
    raw = raw_lines[i * 3 + line][first - 1:last].strip()
    got = youth["POVRAT"][i]
    if raw.lstrip("-").isdigit() and not raw.startswith("-"):
        checked += 1
        if abs(float(got) - int(raw) / 100) > 1e-9 or "." not in got:
            errors.append(f"POVRAT case {i + 1}: {got!r} for raw {raw!r}")
    elif raw.startswith("-") and got != raw:
        errors.append(f"POVRAT reserved code case {i + 1}: {got!r} for {raw!r}")
if checked == 0:
    errors.append("no POVRAT value checked")

# A text value with commas and an apostrophe comes back as the data hold it.
names = set(youth["SCH_NAME"])
if "O'NEIL, JR. MIDDLE" not in names:
    errors.append(f"SCH_NAME values: {sorted(names)[:5]}")

# Reserved codes: kept as codes, or empty cells with --reserved empty.
empty = pd.read_csv(f"{work}/empty/DATA_YOUTH97.csv", dtype=str, keep_default_na=False)
kept_codes = youth["POVRAT"].isin([f"-{d}" for d in range(1, 10)])
if not kept_codes.any():
    errors.append("no reserved code kept in POVRAT")
if not (empty["POVRAT"][kept_codes] == "").all() or (empty["POVRAT"][~kept_codes] != youth["POVRAT"][~kept_codes]).any():
    errors.append("--reserved empty changed more or less than the reserved codes")

for table, frame in keep.items():
    open(f"{work}/{table}.rows", "w").write(str(len(frame)))
print("\n".join(errors), file=sys.stderr)
sys.exit(1 if errors else 0)
PY

DB="$WORK/demo.db"
q() { sqlite3 -batch -noheader "$DB" "$1"; }
for rows in "$WORK"/*.rows; do
    table=$(basename "$rows" .rows)
    [ "$(q "SELECT count(*) FROM \"$table\"")" = "$(cat "$rows")" ] || fail "$table rows differ from its CSV file"
done
[ "$(q "SELECT pk FROM pragma_table_info('DATA_YOUTH97') WHERE name = 'ID'")" = 1 ] ||
    fail "the unique identifier is not the key"
[ "$(q "SELECT type FROM pragma_table_info('DATA_YOUTH97') WHERE name = 'POVRAT'")" = REAL ] ||
    fail "POVRAT is not a REAL column"
[ "$(q "SELECT count(*) FROM DATA_YOUTH97 WHERE typeof(POVRAT) = 'real' AND POVRAT <> CAST(POVRAT AS INTEGER)")" -gt 0 ] ||
    fail "POVRAT holds no decimals"
[ "$(q "SELECT decimals FROM variables WHERE name = 'POVRAT'")" = 2 ] || fail "variables: POVRAT decimals"
[ "$(q "SELECT count(*) FROM variables")" -eq "$COUNT" ] || fail "variables: not one row per tagged variable"
q "SELECT code FROM value_labels WHERE variable = 'KEY_RACE' ORDER BY rowid" >"$WORK/race_db.txt"
diff "$WORK/race_codes.txt" "$WORK/race_db.txt" >/dev/null || fail "value_labels of KEY_RACE differ from its category lines"
[ "$(q "SELECT is_missing FROM value_labels WHERE variable = 'POVRAT' AND code = '-5'")" = 1 ] ||
    fail "a reserved code is not marked missing"
echo "PASS"
