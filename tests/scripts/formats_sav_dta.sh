#!/bin/bash
# The SPSS (.sav) and Stata (.dta) data files of qavn-extract on the demo
# project, read back by real readers. Every variable is tagged, so the three
# data files give three files each, named <stem>_<table>; tagging one data
# file's variables gives one file under the name as chosen. PSPP opens each
# .sav file: its dictionary holds the catalogue labels and the reserved codes
# as missing values, and its frequency tables count each labelled value as
# the codebook's category lines do. pandas reads each .dta file: its values
# equal the CSV output's (implied decimals applied), reserved codes are the
# extended missing values .a (-1) to .i (-9), and the value labels are the
# category lines'.
#
# Usage: formats_sav_dta.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp
need_pandas
make_work savdta
demo_project "$WORK/project"

extract --list >"$WORK/list.txt"
COUNT=$(wc -l <"$WORK/list.txt")
SHOW_ARGS=()
for ((n = 1; n <= COUNT; n++)); do SHOW_ARGS+=(--show "$n"); done
extract "${SHOW_ARGS[@]}" >"$WORK/show.txt"

mkdir -p "$WORK/out" "$WORK/csv" "$WORK/csv-keep"
extract --tag "1-$COUNT" --write sav "$WORK/out/demo" --write dta "$WORK/out/demo.dta" \
    --write csv "$WORK/csv-keep" 2>"$WORK/messages.txt" >/dev/null || fail "sav and dta outputs failed"
extract --tag "1-$COUNT" --reserved empty --write csv "$WORK/csv" >/dev/null || fail "csv output failed"
grep -q "one file was written for each" "$WORK/messages.txt" || fail "no message lists the files written"
for table in DATA_YOUTH97 DATA_PARENT97 DATA_SCHOOL97; do
    for ext in sav dta; do
        [ -s "$WORK/out/demo_$table.$ext" ] || fail "demo_$table.$ext not written"
    done
done
ls -A "$WORK/out" | grep -q '\.qavn-' && fail "a temporary file was left behind"

# One data file: the name as chosen, and no other file.
mkdir -p "$WORK/one"
extract --tag 1-20 --write sav "$WORK/one/youth.sav" >/dev/null 2>&1 || fail "single-file sav failed"
[ "$(ls -A "$WORK/one")" = youth.sav ] || fail "one data file gave: $(ls -A "$WORK/one")"

# PSPP: dictionary and frequencies of every variable with category lines.
/usr/bin/python3 - "$WORK" <<'PY' || fail "could not write the PSPP program"
import sys
work = sys.argv[1]
names, current, cats = {}, None, False
for line in open(f"{work}/show.txt", encoding="latin-1").read().split("\n"):
    if line.startswith("name: "):
        current, cats = line[6:], False
        names[current] = 0
    elif line == "categories:":
        cats = True
    elif cats and line:
        names[current] += 1
with open(f"{work}/run.sps", "w") as out:
    for table in ("DATA_YOUTH97", "DATA_PARENT97", "DATA_SCHOOL97"):
        out.write(f"GET FILE='{work}/out/demo_{table}.sav'.\nDISPLAY DICTIONARY.\n")
        header = open(f"{work}/csv/{table}.csv").readline().strip().split(",")
        wanted = [n for n in header if names.get(n)]
        open(f"{work}/{table}.freq", "w").write("\n".join(wanted))
        out.write("FREQUENCIES VARIABLES=" + "\n ".join(wanted) + ".\n")
PY
status=0
pspp -O format=csv "$WORK/run.sps" -o "$WORK/run.csv" >"$WORK/pspp.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -qiE "(error|warning):" "$WORK/pspp.log" "$WORK/run.csv"; then
    grep -iE "(error|warning):" "$WORK/pspp.log" "$WORK/run.csv" | head -20 >&2 || true
    fail "pspp could not read the .sav files (status $status)"
fi

/usr/bin/python3 - "$WORK" <<'PY' || fail "the .sav files differ from the codebook"
import csv, io, sys
work = sys.argv[1]

shown, current, section = {}, None, None
for line in open(f"{work}/show.txt", encoding="latin-1").read().split("\n"):
    if line.startswith("name: "):
        current = shown[line[6:]] = {"label": "", "categories": []}
        section = None
    elif current is None:
        continue
    elif line.startswith("label: ") and section is None:
        current["label"] = line[7:]
    elif line in ("description:", "categories:"):
        section = line
    elif section == "categories:" and line:
        code, freq, pct, label = (line.split("\t") + ["", "", "", ""])[:4]
        current["categories"].append((code.strip(), int(freq or 0), label.strip()))

tables, title, rows = [], None, []
for line in open(f"{work}/run.csv", encoding="utf-8").read().split("\n") + [""]:
    first = next(csv.reader(io.StringIO(line)), [""])[0]
    if first.startswith("Table: "):  # quoted when the title holds a comma
        title, rows = first[7:], []
    elif line == "":
        if title is not None:
            tables.append((title, rows))
        title, rows = None, []
    elif title is not None:
        rows.append(next(csv.reader(io.StringIO(line))))

errors = []
dictionaries = [rows for title, rows in tables if title == "Variables"]
frequencies = [(t, rows[1:]) for t, rows in tables if rows and rows[0][2:4] == ["Frequency", "Percent"]]
if len(dictionaries) != 3:
    errors.append(f"{len(dictionaries)} dictionaries")
tagged = 0
for rows in dictionaries:
    head = rows[0]
    for row in rows[1:]:
        entry = dict(zip(head, row))
        name = entry["Name"]
        if name == "ID":
            continue
        tagged += 1
        var = shown.get(name)
        if var is None:
            errors.append(f"{name} is not a codebook name")
            continue
        if entry["Label"] != var["label"].strip():
            errors.append(f"{name}: label {entry['Label']!r}, codebook {var['label']!r}")
        reserved = sorted(c for c, f, l in var["categories"]
                          if len(c) == 2 and c[0] == "-" and c[1] in "123456789" and l.startswith("{"))
        missing = sorted(v.strip() for v in entry["Missing Values"].split(";") if v.strip())
        if len(reserved) <= 3 and missing != reserved:
            errors.append(f"{name}: missing values {missing}, reserved codes {reserved}")
if tagged != len(shown):
    errors.append(f"{tagged} variables in the .sav files for {len(shown)} tagged")

order = []
for table in ("DATA_YOUTH97", "DATA_PARENT97", "DATA_SCHOOL97"):
    order += [n for n in open(f"{work}/{table}.freq").read().split("\n") if n]
if len(order) != len(frequencies) or len(order) < 50:
    errors.append(f"{len(order)} variables asked, {len(frequencies)} frequency tables")
for name, (title, rows) in zip(order, frequencies):
    var = shown[name]
    printed = {}
    for row in rows:
        if row[0] != "Total":
            printed[row[1]] = printed.get(row[1], 0) + int(row[2])
    expected = {}
    for code, freq, label in var["categories"]:
        expected[label] = expected.get(label, 0) + freq
    for label, freq in expected.items():
        if printed.get(label, 0) != freq:
            errors.append(f"{name}: {label!r} counted {printed.get(label, 0)}, codebook {freq}")
if errors:
    print("\n".join(errors[:20]), file=sys.stderr)
sys.exit(1 if errors else 0)
PY

/usr/bin/python3 - "$WORK" <<'PY' || fail "the .dta files differ from the CSV files"
import math, sys
import pandas as pd
from pandas.io.stata import StataMissingValue, StataReader

work = sys.argv[1]
labels, current, cats = {}, None, False
for line in open(f"{work}/show.txt", encoding="latin-1").read().split("\n"):
    if line.startswith("name: "):
        current, cats = line[6:], False
        labels[current] = {}
    elif line == "categories:":
        cats = True
    elif cats and line:
        code, freq, pct, label = (line.split("\t") + ["", "", "", ""])[:4]
        labels[current].setdefault(code.strip(), label.strip())

errors = []
checked = tagged_missing = 0
for table in ("DATA_YOUTH97", "DATA_PARENT97", "DATA_SCHOOL97"):
    empty = pd.read_csv(f"{work}/csv/{table}.csv", dtype=str, keep_default_na=False)
    keep = pd.read_csv(f"{work}/csv-keep/{table}.csv", dtype=str, keep_default_na=False)
    with StataReader(f"{work}/out/demo_{table}.dta") as reader:
        data = reader.read(convert_missing=True, convert_categoricals=False)
        value_labels = reader.value_labels()  # each set named after its variable
    if list(data.columns) != [c.lower() for c in empty.columns]:
        errors.append(f"{table}: columns {list(data.columns)[:5]}... for {list(empty.columns)[:5]}...")
        continue
    if len(data) != len(empty):
        errors.append(f"{table}: {len(data)} rows for {len(empty)}")
        continue
    for name in empty.columns:
        got, want, kept = data[name.lower()], empty[name], keep[name]
        numeric = got.dtype != object or any(isinstance(v, StataMissingValue) for v in got)
        for i in range(len(want)):
            g, w, k = got.iloc[i], want.iloc[i], kept.iloc[i]
            if not numeric:
                ok = g == w
            elif w == "":
                if k != "" and k.startswith("-"):
                    tag = "." + chr(ord("a") + int(k[1:]) - 1)
                    ok = isinstance(g, StataMissingValue) and g.string == tag
                    tagged_missing += ok
                else:
                    ok = isinstance(g, StataMissingValue) and g.string == "." or (
                        isinstance(g, float) and math.isnan(g))
            else:
                ok = not isinstance(g, StataMissingValue) and float(g) == float(w)
            if not ok:
                errors.append(f"{table}.{name} row {i + 1}: {g!r} for CSV {w!r} ({k!r})")
                break
        checked += 1
        # Value labels: every numeric, non-reserved category code of the codebook.
        expected = {int(c): l for c, l in labels.get(name, {}).items()
                    if c.lstrip("-").isdigit() and not (c.startswith("-") and l.startswith("{"))}
        if numeric and expected and name != "ID":
            got_labels = {k: v for k, v in value_labels.get(name.lower(), {}).items() if k < 2147483621}
            decimals = any("." in v for v in want if v)
            if not decimals and got_labels != expected:
                errors.append(f"{table}.{name}: value labels {got_labels} for {expected}")
if checked < 500 or tagged_missing == 0:
    errors.append(f"only {checked} columns and {tagged_missing} extended missing values checked")
if errors:
    print("\n".join(errors[:20]), file=sys.stderr)
sys.exit(1 if errors else 0)
PY
echo "PASS"
