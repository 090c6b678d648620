#!/bin/bash
# The outputs of an imported project give the source's statistics in their
# readers. PSPP writes a source with declared missing values (codes, a range,
# a text), long names, display formats (DOLLAR, F w.d, DATE) and value labels
# on some values only; qavn-import makes the project. PSPP's DESCRIPTIVES of
# the source, missing values excluded, is what every reader must give:
# - PSPP on the .sav output prints the very same table (names, missing
#   values and formats kept) and lists the dates as the source does;
# - PSPP running the PSPP program: the same table and dates too;
# - Rscript sourcing the R script (mean with na.rm), pandas.read_stata with
#   default arguments on the .dta output (its dates as dates), sqlite3's AVG,
#   the CSV cells and DuckDB's and hyparquet's reading of the Parquet output
#   with --reserved empty: the same means and counts under the source's
#   names (the Parquet dates as DATE);
# - the DDI document marks the declared codes missing="Y";
# - --names short names the columns by the codebook's names.
#
# Usage: extract_source_statistics.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp sqlite3
need_pandas
need_tools qavn-import qavn-extract
unset QAVN_DRIVE_C QAVN_DRIVE_D
make_work sourcestats
cd "$WORK"

NUMBERS="tv_news_watching yearly_income_dollars body_weight_kg satisfaction_score"
cat >make.sps <<'SPS'
DATA LIST LIST /person_identifier (F4.0) tv_news_watching (F2.0) yearly_income_dollars (DOLLAR12.2)
  body_weight_kg (F8.1) interview_date (DATE11) surname (A10) satisfaction_score (F2.0).
BEGIN DATA
1 1 15000.50 70.5 10-OCT-2020 "Smith" 1
2 9 22000.00 80.0 11-OCT-2020 "NONE" 8
3 2 -1 65.2 12-OCT-2020 "O'Neil" 3
4 3 9000.25 90.1 13-OCT-2020 "Lee" 9
5 9 31000.75 55.0 14-OCT-2020 "Brown" 2
6 2 18000.00 -9 15-OCT-2020 "NONE" 4
7 1 -1 61.3 01-FEB-2021 "Young" 7
8 4 12500.00 77.7 28-FEB-2021 "Adams" 5
END DATA.
VARIABLE LABELS tv_news_watching 'How often watches TV news' yearly_income_dollars 'Yearly income'.
VALUE LABELS tv_news_watching 1 'Never' 9 'Not asked' /satisfaction_score 1 'Low' 5 'High'.
MISSING VALUES tv_news_watching (9) yearly_income_dollars (-1) body_weight_kg (-9)
  satisfaction_score (7 THRU 9) surname ('NONE').
SAVE OUTFILE='source.sav'.
SPS
pspp make.sps >/dev/null || fail "pspp could not write the source"
"$BIN/qavn-import" source.sav --id ST --out "$WORK/p" --id-variable person_identifier >/dev/null 2>import.err ||
    fail "qavn-import: $(cat import.err)"

# PSPP's DESCRIPTIVES and LIST of a .sav file, as CSV.
describe() { # SAV OUT
    printf "SET TVARS=NAMES.\nGET FILE='%s'.\nDESCRIPTIVES VARIABLES=%s /STATISTICS=MEAN.\nLIST interview_date.\n" "$1" "$NUMBERS" \
        >describe.sps
    pspp -O format=csv describe.sps -o "$2" >pspp.log 2>&1 || fail "pspp could not read $1: $(tail -3 pspp.log)"
    ! grep -qiE "(error|warning):" pspp.log "$2" || fail "pspp on $1: $(grep -iE "(error|warning):" pspp.log "$2" | head -3)"
}
describe source.sav source.csv

OUT="$WORK/out"
mkdir -p "$OUT" "$OUT/keep" "$OUT/empty" "$OUT/short"
x() { (cd "$WORK/p" && "$BIN/qavn-extract" P=ST --tag 1-7 "$@"); }
x --write sav "$OUT/st.sav" --write dta "$OUT/st.dta" --write pspp "$OUT/st.sps" --write r "$OUT/st.R" \
    --write ddi "$OUT/st.xml" --write csv "$OUT/keep" >/dev/null 2>"$OUT/messages" ||
    fail "qavn-extract: $(cat "$OUT/messages")"
x --reserved empty --write csv "$OUT/empty" --write sqlite "$OUT/st.db" >/dev/null 2>&1 ||
    fail "qavn-extract --reserved empty failed"
x --names short --write csv "$OUT/short" >/dev/null 2>&1 || fail "qavn-extract --names short failed"

# The Parquet output with --reserved empty, read by DuckDB and hyparquet
# (npm packages; skipped when they cannot be had): counts and means, the
# dates as DATE, the declared missing text null, the declared codes marked.
HAVE_PARQUET=0
if NPM_DIR=$("$SRC/scripts/npm-readers.sh" 2>npm.err); then
    mkdir "$OUT/pq"
    x --reserved empty --write parquet "$OUT/pq" >/dev/null 2>&1 || fail "qavn-extract --write parquet failed"
    mkdir "$OUT/readers"
    ln -s "$NPM_DIR/node_modules" "$OUT/readers/node_modules"
    cat >"$OUT/readers/stats.mjs" <<'JS'
import { readdirSync } from 'node:fs';
import { join } from 'node:path';
import { DuckDBInstance } from '@duckdb/node-api';
import { asyncBufferFromFile, parquetReadObjects } from 'hyparquet';
import { compressors } from 'hyparquet-compressors';
const [dir, numbers] = [process.argv[2], process.argv[3].split(' ')];
const file = join(dir, readdirSync(dir).find((f) => f.endsWith('.parquet') && !/^(variables|value_labels)\./.test(f)));
const db = await (await DuckDBInstance.create(':memory:')).connect();
const one = async (q) => (await db.runAndReadAll(q)).getRowsJson()[0];
const rows = await parquetReadObjects({ file: await asyncBufferFromFile(file), compressors });
for (const v of numbers) {
  const [n, mean] = await one(`SELECT count("${v}")::INTEGER, avg("${v}") FROM read_parquet('${file}')`);
  console.log(`DuckDB ${v} ${n} ${mean}`);
  const values = rows.map((r) => r[v]).filter((x) => x !== null && x !== undefined).map(Number);
  console.log(`hyparquet ${v} ${values.length} ${values.reduce((a, b) => a + b, 0) / values.length}`);
}
const [type] = await one(`SELECT typeof(interview_date) FROM read_parquet('${file}')`);
const [first, last] = await one(`SELECT strftime(min(interview_date), '%Y-%m-%d'), strftime(max(interview_date), '%Y-%m-%d') FROM read_parquet('${file}')`);
console.log(`dates ${type} ${first} ${last}`);
const [none] = await one(`SELECT count(*)::INTEGER FROM read_parquet('${file}') WHERE surname = 'NONE'`);
console.log(`none ${none}`);
const [codes] = await one(`SELECT string_agg(code, ',') FROM read_parquet('${join(dir, 'value_labels.parquet')}')
                           WHERE variable = 'tv_news_watching' AND is_missing = 1`);
console.log(`missing ${codes}`);
JS
    node "$OUT/readers/stats.mjs" "$OUT/pq" "$NUMBERS" >"$OUT/parquet.txt" 2>node.log ||
        fail "the Parquet readers failed: $(tail -3 node.log)"
    HAVE_PARQUET=1
else
    skip "the Parquet readers are not available, the Parquet output is not read: $(tr '\n' ' ' <npm.err)"
fi

# The .sav output: the same table, dates and all.
describe "$OUT/st.sav" sav.csv
diff source.csv sav.csv >&2 || fail "PSPP's statistics of the .sav output differ from the source's"

# The PSPP program, run by PSPP, then its data described.
(cd "$OUT" && sed "s/\r$//" st.sps >run.sps &&
    printf "SET TVARS=NAMES.\nDESCRIPTIVES VARIABLES=%s /STATISTICS=MEAN.\nLIST interview_date.\n" "$NUMBERS" >>run.sps &&
    pspp -O format=csv run.sps -o prog.csv) >pspp.log 2>&1 || fail "PSPP rejected the PSPP program: $(tail -3 pspp.log)"
! grep -qiE "(error|warning):" pspp.log "$OUT/prog.csv" ||
    fail "PSPP program: $(grep -iE "(error|warning):" pspp.log "$OUT/prog.csv" | head -3)"

HAVE_R=0
if Rscript -e 'library(readr); library(haven)' >/dev/null 2>&1; then
    (cd "$OUT" && Rscript -e 'source("st.R"); d <- get(ls()[sapply(ls(), function(n) is.data.frame(get(n)))][1]);
        cat(sapply(strsplit("'"$NUMBERS"'", " ")[[1]], function(v) sprintf("%s %d %.10g", v,
            sum(!is.na(d[[v]])), mean(as.numeric(zap_labels(d[[v]])), na.rm = TRUE))), sep = "\n")') \
        >"$OUT/r.txt" 2>r.log || fail "Rscript could not source the R script: $(tail -5 r.log)"
    HAVE_R=1
else
    skip "Rscript with readr and haven is not installed, the R script is not run"
fi

/usr/bin/python3 - "$OUT" "$NUMBERS" "$HAVE_R" "$HAVE_PARQUET" <<'PY' || fail "a reader's statistics differ from the source's"
import csv, datetime, sqlite3, sys
import pandas as pd
out, numbers, have_r, have_parquet = sys.argv[1], sys.argv[2].split(), sys.argv[3] == "1", sys.argv[4] == "1"
errors = []

def descriptives(path):
    """name -> (N, mean text) from PSPP's CSV output."""
    rows, on = {}, False
    for row in csv.reader(open(path, encoding="utf-8")):
        if row and row[0].startswith("Table: Descriptive Statistics"):
            on = True
        elif on and row and row[0] in numbers:
            rows[row[0]] = (int(row[1]), row[2])
        elif on and not row:
            on = False
    return rows

def number(text):
    return float(text.replace("$", "").replace(",", ""))

source = descriptives("source.csv")
if sorted(source) != sorted(numbers):
    sys.exit(f"PSPP described {sorted(source)} of the source")

def check(reader, got):
    for name, (n, mean) in source.items():
        if name not in got:
            errors.append(f"{reader}: no {name}")
            continue
        gn, gmean = got[name]
        decimals = len(mean.split(".")[1]) if "." in mean else 0
        if gn != n or abs(gmean - number(mean)) > 0.5 * 10 ** -decimals + 1e-9:
            errors.append(f"{reader}: {name} N {gn} mean {gmean}, the source's N {n} mean {mean}")

# The PSPP program's data: the source's table, formats and dates alike.
def tables(path):
    return [t.strip() for t in open(path, encoding="utf-8").read().split("\n\n") if t.strip()]
if tables(f"{out}/prog.csv")[-2:] != tables("source.csv"):
    errors.append("PSPP program: " + "\n".join(tables(f"{out}/prog.csv")[-2:]))

# Default arguments read it (labels unique, extended missing values); the
# numbers behind the labels are the codes.
dta = pd.read_stata(f"{out}/st.dta")
codes = pd.read_stata(f"{out}/st.dta", convert_categoricals=False)
check(".dta", {v: (int(codes[v].notna().sum()), float(codes[v].mean())) for v in numbers if v in codes})
if "Not asked" in set(dta["tv_news_watching"].astype(object)):
    errors.append(".dta: a declared missing value reads as a value")
dates = [d.strftime("%d-%b-%Y").upper() for d in dta["interview_date"]] if "interview_date" in dta else []
if dates[:1] != ["10-OCT-2020"] or dates[-1:] != ["28-FEB-2021"]:
    errors.append(f".dta dates: {dates}")
if "surname" in dta and (dta["surname"] == "NONE").any():
    errors.append(".dta: the declared missing text NONE is kept")

table = next(iter(pd.read_csv(f"{out}/empty/{f}", dtype=str, keep_default_na=False)
                  for f in __import__("os").listdir(f"{out}/empty")))
def cells(frame):
    return {v: (int((frame[v] != "").sum()), pd.to_numeric(frame[v][frame[v] != ""]).mean()) for v in numbers if v in frame}
check("CSV --reserved empty", cells(table))
if (table["surname"] == "NONE").any():
    errors.append("CSV --reserved empty: the declared missing text NONE is kept")

db = sqlite3.connect(f"{out}/st.db")
name = [r[0] for r in db.execute("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT IN "
                                 "('variables', 'value_labels', 'extract', 'tables')")]
got = {}
for v in numbers:
    n, mean = db.execute(f'SELECT count("{v}"), avg("{v}") FROM "{name[0]}"').fetchone()
    got[v] = (n, mean)
check("SQLite", got)
missing = db.execute("SELECT code FROM value_labels WHERE variable = 'tv_news_watching' AND is_missing = 1").fetchall()
if [m[0] for m in missing] != ["9"]:
    errors.append(f"SQLite value_labels: missing codes of tv_news_watching {missing}")

if have_r:
    got = {}
    for line in open(f"{out}/r.txt"):
        v, n, mean = line.split()
        got[v] = (int(n), float(mean))
    check("R", got)

if have_parquet:
    got = {"DuckDB": {}, "hyparquet": {}}
    facts = {}
    for line in open(f"{out}/parquet.txt"):
        words = line.split()
        if words[0] in got:
            got[words[0]][words[1]] = (int(words[2]), float(words[3]))
        else:
            facts[words[0]] = words[1:]
    for reader, values in got.items():
        check(f"Parquet ({reader})", values)
    if facts.get("dates") != ["DATE", "2020-10-10", "2021-02-28"]:
        errors.append(f"Parquet: interview_date {facts.get('dates')}")
    if facts.get("none") != ["0"]:
        errors.append("Parquet --reserved empty: the declared missing text NONE is kept")
    if facts.get("missing") != ["9"]:
        errors.append(f"Parquet value_labels: missing codes of tv_news_watching {facts.get('missing')}")

short = pd.read_csv(f"{out}/short/{__import__('os').listdir(f'{out}/short')[0]}", dtype=str)
if any(len(c) > 8 for c in short.columns):
    errors.append(f"--names short: columns {list(short.columns)}")

import re
ddi = open(f"{out}/st.xml", encoding="utf-8").read()
var = re.search(r'<var [^>]*name="tv_news_watching".*?</var>', ddi, re.S)
flagged = re.findall(r'<catgry missing="Y">\s*<catValu>([^<]*)<', var.group(0)) if var else None
if flagged != ["9"]:
    errors.append(f"DDI: tv_news_watching codes marked missing: {flagged}")
print("\n".join(errors), file=sys.stderr)
sys.exit(1 if errors else 0)
PY
echo "PASS"
