#!/bin/bash
# The DDI, Stata, R and "SPSS for PSPP" outputs of qavn-extract on the demo
# project, every variable tagged (categorical, implied decimals, text, on
# three lines of a case and in three data files), checked against what this
# script computes from the raw data itself:
# - PSPP runs the pspp program with no error or warning; every FREQUENCIES
#   table and every DESCRIPTIVES row (reserved codes excluded as missing)
#   equals the counts and statistics of the raw columns;
# - the DDI document validates against the DDI Codebook 2.5 schema, and every
#   variable's location in the extract holds the raw field of every case;
#   missing="Y" marks exactly the reserved codes;
# - Stata: the data path exists, infix reads the codebook's columns, one
#   label per code, reserved codes as .a-.i;
# - R: the data path exists, fwf_positions hold the codebook's columns; with
#   Rscript (and readr, haven) the script runs and its data frames hold the
#   raw values, decimals applied, reserved codes NA.
#
# Usage: formats_programs.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp xmllint
XSD=$(find "$SRC/../shared/ddi-codebook-2.5" -name codebook.xsd 2>/dev/null | head -1 || true)

make_work programs
demo_project "$WORK/project"

COUNT=$(extract --list | wc -l)
SHOW_ARGS=()
for ((n = 1; n <= COUNT; n++)); do SHOW_ARGS+=(--show "$n"); done
extract "${SHOW_ARGS[@]}" >"$WORK/show.txt"

OUT="$WORK/out"
mkdir -p "$OUT"
extract --tag "1-$COUNT" --labels all --write pspp "$OUT/demo" --write ddi "$OUT/demo" --write stata "$OUT/demo" \
    --write r "$OUT/demo" || fail "qavn-extract failed"
for f in demo.sps demo.xml demo.do demo.R demo_DATA_YOUTH97.dat demo_DATA_PARENT97.dat demo_DATA_SCHOOL97.dat; do
    [ -s "$OUT/$f" ] || fail "$f not written"
done
ls -A "$OUT" | grep -q '\.qavn-' && fail "a temporary file was left behind"

# PSPP: no error or warning; it saves into the configured output directory.
status=0
(cd "$OUT" && pspp -O format=csv demo.sps -o run.csv) >"$OUT/pspp.log" 2>&1 || status=$?
if [ "$status" -ne 0 ] || grep -qiE "error|warning" "$OUT/pspp.log" "$OUT/run.csv"; then
    grep -iE "error|warning" "$OUT/pspp.log" "$OUT/run.csv" | head -20 >&2 || true
    fail "pspp rejected the program (status $status)"
fi
[ -s "$PROJECT/c/QAVN/OUT/XTRACT.sav" ] || fail "PSPP did not save the matched file"

if [ -n "$XSD" ]; then
    xmllint --noout --schema "$XSD" "$OUT/demo.xml" 2>"$WORK/xmllint.log" ||
        fail "the DDI document does not validate: $(tail -5 "$WORK/xmllint.log")"
else
    xmllint --noout "$OUT/demo.xml" 2>"$WORK/xmllint.log" ||
        fail "the DDI document is not well-formed XML: $(tail -5 "$WORK/xmllint.log")"
    skip "no DDI Codebook 2.5 schema under $SRC/../shared/ddi-codebook-2.5, the DDI output is not validated"
fi

if command -v Rscript >/dev/null && Rscript -e 'library(readr); library(haven)' >/dev/null 2>&1; then
    (cd "$OUT" && Rscript -e 'source("demo.R"); for (n in c("DATA_YOUTH97", "DATA_PARENT97", "DATA_SCHOOL97"))
        write.csv(zap_labels(get(n)), paste0("r_", n, ".csv"), row.names = FALSE, na = "")') >"$OUT/r.log" 2>&1 ||
        fail "Rscript failed: $(tail -5 "$OUT/r.log")"
    grep -qi "warning" "$OUT/r.log" && fail "Rscript warned: $(head -5 "$OUT/r.log")"
else
    skip "Rscript with readr and haven is not installed, the R script is not run"
fi

/usr/bin/python3 - "$SRC/samples/demo/demo.json" "$PROJECT" "$WORK/show.txt" "$OUT" <<'PY' ||
import csv, io, json, math, os, re, sys
import xml.etree.ElementTree as ET
from collections import Counter

source, project, show_txt, out = sys.argv[1:5]
demo = json.load(open(source))
errors = []
def error(text):
    errors.append(text if len(text) < 400 else text[:400] + "...")

# The codebook as --show prints it.
variables = {}
order = []
current = None
section = None
for line in open(show_txt, encoding="latin-1").read().split("\n"):
    if line.startswith("name: "):
        current = {"name": line[6:], "categories": []}
        variables[current["name"]] = current
        order.append(current["name"])
        section = None
    elif current is None:
        continue
    elif line in ("description:", "categories:"):
        section = line
    elif section is None and ": " in line:
        key, value = line.split(": ", 1)
        current[key] = value
    elif section == "categories:" and line:
        code, freq, pct, label = (line.split("\t") + ["", "", "", ""])[:4]
        current["categories"].append((code, freq, label))
for v in variables.values():
    first, _, last = v["location"].partition("-")
    v["first"], v["last"] = int(first), int(last or first)
    v["file"], v["line"] = int(v["fileNumber"]), int(v["recordNumber"])
    v["type"] = v.get("typeCode", " ") or " "
    v["decimals"] = int(v["type"]) if v["type"] in "123456789" and v["type"].strip() else 0
    v["reserved"] = [c for c, f, l in v["categories"] if re.fullmatch(r"-[1-9]", c) and l.startswith("{")]

# The raw fields of every case, per data file.
files = []
for entry in demo["dataFiles"]:
    path = os.path.join(project, "d", *entry["dataPath"].split("\\"))
    lines = open(path, encoding="latin-1").read().replace("\r\n", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    k = entry["linesPerCase"]
    files.append([lines[i:i + k] for i in range(0, len(lines) - k + 1, k)])
def raw(v):
    return [(case[v["line"] - 1] + " " * v["last"])[v["first"] - 1:v["last"]] for case in files[v["file"] - 1]]
def number(text, decimals):
    x = float(text)
    return x if "." in text or decimals == 0 else x / 10 ** decimals
def valid_numbers(v):
    return [number(t.strip(), v["decimals"]) for t in raw(v) if t.strip() and t.strip() not in v["reserved"]]

# PSPP: frequency tables in the order of the FREQUENCIES lists, descriptives
# rows in the order of the DESCRIPTIVES lists.
program = open(f"{out}/demo.sps", encoding="latin-1").read().replace("\r\n", "\n")
freq_order = [n for b in re.findall(r"FREQUENCIES VARIABLES=\n(.*?)\.\n", program, re.S) for n in b.split()]
desc_order = [n for b in re.findall(r"DESCRIPTIVES VARIABLES=\n(.*?)\n  /STATISTICS", program, re.S) for n in b.split()]
tables, descriptives = [], []
title, rows = None, []
for line in open(f"{out}/run.csv", encoding="latin-1").read().split("\n") + [""]:
    if line.startswith("Table: "):
        title, rows = line[7:], []
    elif line == "":
        if title is not None and rows and rows[0][2:4] == ["Frequency", "Percent"]:
            tables.append(rows[1:])
        elif title == "Descriptive Statistics":
            descriptives += [r for r in rows[1:] if not r[0].endswith("N (listwise)")]
        title, rows = None, []
    elif title is not None:
        rows.append(next(csv.reader(io.StringIO(line))))
if len(tables) != len(freq_order) or len(freq_order) < 100:
    error(f"PSPP printed {len(tables)} frequency tables for {len(freq_order)} variables")
for name, rows in zip(freq_order, tables):
    v = variables[name]
    def value(text):
        text = text.strip().strip("'")
        return str(int(text)) if v["type"] != "A" and re.fullmatch(r"-?\d+", text) else text
    labels = {value(c): l for c, f, l in v["categories"]}
    def key(text):
        return labels.get(value(text), value(text)) if text.strip() else "System-missing"
    expected = Counter(key(t) for t in raw(v))
    printed = Counter()
    for row in rows:
        if row[0] != "Total" and row[1] != "Total":
            printed[key(row[1]) if row[1] not in labels.values() else row[1]] += int(row[2])
    if printed != expected:
        error(f"PSPP frequencies of {name}: {dict(printed)} for {dict(expected)}")
if len(descriptives) != len(desc_order) or len(desc_order) < 100:
    error(f"PSPP printed {len(descriptives)} descriptives rows for {len(desc_order)} variables")
for name, row in zip(desc_order, descriptives):
    values = valid_numbers(variables[name])
    n = len(values)
    mean = sum(values) / n
    sd = math.sqrt(sum((x - mean) ** 2 for x in values) / (n - 1))
    want = [n, mean, sd, min(values), max(values)]
    got = [float(x) for x in row[1:6]]
    if int(got[0]) != n or any(abs(g - w) > 0.006 + 1e-6 * abs(w) for g, w in zip(got[1:], want[1:])):
        error(f"PSPP descriptives of {name}: {row[1:6]} for {want}")

# DDI: each variable's location in its extract holds the raw field.
ns = {"d": "ddi:codebook:2_5"}
root = ET.parse(f"{out}/demo.xml").getroot()
extracts = {}
for fd in root.findall("d:fileDscr", ns):
    name = fd.find("d:fileTxt/d:fileName", ns).text
    lines = open(f"{out}/{name}", encoding="latin-1").read().replace("\r\n", "\n").split("\n")[:-1]
    per_case = int(fd.find("d:fileTxt/d:dimensns/d:recPrCas", ns).text)
    cases = int(fd.find("d:fileTxt/d:dimensns/d:caseQnty", ns).text)
    if cases != demo["cases"] or len(lines) != cases * per_case:
        error(f"{name}: {len(lines)} lines, caseQnty {cases}")
    extracts[fd.get("ID")] = [lines[i:i + per_case] for i in range(0, len(lines), per_case)]
checked = 0
for var in root.findall("d:dataDscr/d:var", ns):
    name = var.get("name")
    loc = var.find("d:location", ns)
    start, end, seg = int(loc.get("StartPos")), int(loc.get("EndPos")), int(loc.get("RecSegNo"))
    cut = [case[seg - 1][start - 1:end] for case in extracts[var.get("files")]]
    if name == "ID":
        continue
    v = variables[name]
    if cut != [t for t in raw(v)] and [c.rstrip() for c in cut] != [t.rstrip() for t in raw(v)]:
        error(f"DDI extract of {name} differs from the raw data")
    if (var.get("dcml") or "0") != str(v["decimals"]):
        error(f"DDI dcml of {name}: {var.get('dcml')}")
    missing = [c.find("d:catValu", ns).text for c in var.findall("d:catgry", ns) if c.get("missing") == "Y"]
    scaled = [c if not v["decimals"] else f"{int(c) / 10 ** v['decimals']:.{v['decimals']}f}" for c in v["reserved"]]
    if missing != scaled:
        error(f"DDI missing categories of {name}: {missing} for {scaled}")
    freqs = [c.find("d:catStat", ns).text for c in var.findall("d:catgry", ns)]
    if freqs != [f for c, f, l in v["categories"]]:
        error(f"DDI frequencies of {name} differ from the category lines")
    checked += 1
if checked != len(variables):
    error(f"DDI describes {checked} of {len(variables)} variables")

# Stata: infix columns, data paths, one label per code.
do = open(f"{out}/demo.do", encoding="utf-8").read().replace("\r\n", "\n")
for path in re.findall(r'^    using "(.*)"$', do, re.M):
    if not os.path.isfile(path):
        error(f"Stata reads {path}, which does not exist")
infix = dict((m[1], (int(m[2]), int(m[3]), int(m[4]))) for m in re.findall(r"^    (str|double) (\w+) (\d+):(\d+)-(\d+) ///$", do, re.M) for m in [m])
for name, v in variables.items():
    if infix.get(name) != (v["line"], v["first"], v["last"]):
        error(f"Stata reads {name} from {infix.get(name)}")
defines = re.findall(r"^label define (\w+)((?: ///\n    \S+ `\".*?\"')+), replace$", do, re.M)
if len(defines) != do.count("label define") or len(defines) < 100:
    error(f"Stata: {len(defines)} label definitions read of {do.count('label define')}")
for name, body in defines:
    codes = re.findall(r"///\n    (\S+) ", body)
    v = variables[name]
    want = [c for c, f, l in v["categories"] if re.fullmatch(r"-?\d+", c) and c not in v["reserved"] and not v["decimals"]]
    want = list(dict.fromkeys(want)) + ["." + chr(ord("a") + int(c[1]) - 1) for c in v["reserved"]]
    if sorted(codes) != sorted(want) or len(codes) != len(set(codes)):
        error(f"Stata labels of {name}: {codes} for {want}")

# R: positions, data paths, and with Rscript the values read.
script = open(f"{out}/demo.R", encoding="utf-8").read().replace("\r\n", "\n")
for path, per_case, line, starts, ends, names in re.findall(
        r'qavn_read\("(.*?)", (\d+), (\d+),\n    c\((.*?)\),\n    c\((.*?)\),\n    c\((.*?)\),', script):
    if not os.path.isfile(path):
        error(f"R reads {path}, which does not exist")
    for s, e, n in zip(starts.split(", "), ends.split(", "), names.split(", ")):
        n = n.strip('"')
        if n != "ID" and (variables[n]["line"], variables[n]["first"], variables[n]["last"]) != (int(line), int(s), int(e)):
            error(f"R reads {n} from line {line}, {s}-{e}")
for f, entry in enumerate(demo["dataFiles"], 1):
    frame = f"{out}/r_" + entry["dataPath"].split(".")[0].replace("\\", "_") + ".csv"
    if not os.path.exists(frame):
        continue
    rows = list(csv.DictReader(open(frame, encoding="utf-8")))
    for name in [n for n in order if variables[n]["file"] == f]:
        v = variables[name]
        for got, text in zip((r[name] for r in rows), raw(v)):
            text = text.strip()
            if v["type"] == "A":
                ok = got == text
            elif not text or text in v["reserved"]:
                ok = got == ""
            else:
                ok = got != "" and abs(float(got) - number(text, v["decimals"])) <= 1e-9 * max(1, abs(float(got)))
            if not ok:
                error(f"R value of {name}: {got!r} for raw {text!r}")
                break

print("\n".join(errors[:20]), file=sys.stderr)
sys.exit(1 if errors else 0)
PY
    fail "the outputs differ from the raw data"
# The DDI document and its extracts read back by qavn-import: every category
# line comes back with its label and frequency counted from the extract.
if [ -x "$BIN/qavn-import" ]; then
    "$BIN/qavn-import" "$OUT/demo.xml" --id RT --out "$WORK/rt" >/dev/null 2>"$WORK/import.log" ||
        fail "qavn-import rejected the DDI output: $(tail -3 "$WORK/import.log")"
    back() { (cd "$WORK/rt" && env -u QAVN_DRIVE_C -u QAVN_DRIVE_D "$BIN/qavn-extract" P=RT "$@"); }
    ROUND=()
    for ((n = 1, total = $(back --list | wc -l); n <= total; n++)); do ROUND+=(--show "$n"); done
    back "${ROUND[@]}" >"$WORK/round.txt"
    /usr/bin/python3 - "$WORK/show.txt" "$WORK/round.txt" <<'PY' || fail "the DDI output does not read back"
import sys
def categories(path):
    found, current, section = {}, None, None
    for line in open(path, encoding="latin-1").read().split("\n"):
        if line.startswith("name: "):
            current, section = found.setdefault(line[6:], set()), None
        elif line in ("description:", "categories:"):
            section = line
        elif current is not None and section == "categories:" and line:
            fields = line.split("\t")
            current.add((fields[3], fields[1]))
    return found
original, back = categories(sys.argv[1]), categories(sys.argv[2])
lost = [name for name, lines in original.items() if not lines <= back.get(name, set())]
if lost or len(original) < 500:
    sys.exit(f"category lines lost on the way back: {lost[:10]}")
PY
fi
# More reserved codes than PSPP's MISSING VALUES takes as values: a range, a
# range and one value, or codes with gaps (recoded to system-missing), also
# under implied decimals. DESCRIPTIVES must leave every one of them out.
cat >"$WORK/codes.json" <<'JSON'
{"id": "CODES", "title": "RESERVED CODES", "cases": 500, "seed": 3,
 "dataFiles": [{"dataPath": "DATA\\CODES.DAT", "linesPerCase": 1, "idLocation": "1-5"}],
 "variables": [
  {"name": "RUN5", "type": "0", "width": 3, "label": "Five in a run", "section": "CODES",
   "range": {"min": 0, "max": 90}, "categories": [
    {"code": "-1", "label": "{A}"}, {"code": "-2", "label": "{B}"}, {"code": "-3", "label": "{C}"},
    {"code": "-4", "label": "{D}"}, {"code": "-5", "label": "{E}"}]},
  {"name": "RUN4ONE", "type": "0", "width": 3, "label": "Four in a run and one",
   "range": {"min": 0, "max": 90}, "categories": [
    {"code": "-1", "label": "{A}"}, {"code": "-2", "label": "{B}"}, {"code": "-3", "label": "{C}"},
    {"code": "-4", "label": "{D}"}, {"code": "-9", "label": "{I}"}]},
  {"name": "GAPS", "type": "0", "width": 3, "label": "Codes with gaps",
   "range": {"min": -9, "max": 90}, "categories": [
    {"code": "-1", "label": "{A}"}, {"code": "-3", "label": "{C}"}, {"code": "-5", "label": "{E}"},
    {"code": "-7", "label": "{G}"}]},
  {"name": "DEC3", "type": "3", "width": 5, "label": "Implied decimals",
   "range": {"min": 0, "max": 9999}, "categories": [
    {"code": "-1", "label": "{A}"}, {"code": "-2", "label": "{B}"}, {"code": "-3", "label": "{C}"},
    {"code": "-4", "label": "{D}"}]}]}
JSON
"$BIN/qavn-mkproject" "$WORK/codes.json" --out "$WORK/codes" >/dev/null || fail "the reserved-codes project was not made"
(cd "$WORK/codes" && env QAVN_DRIVE_C="$WORK/codes/c" QAVN_DRIVE_D="$WORK/codes/d" "$BIN/qavn-extract" P=CODES \
    --tag 1-4 --write pspp "$WORK/codes/codes.sps") || fail "qavn-extract failed on the reserved-codes project"
(cd "$WORK/codes" && pspp -O format=csv codes.sps -o codes.csv) >"$WORK/codes/pspp.log" 2>&1 ||
    fail "pspp failed on the reserved codes: $(tail -5 "$WORK/codes/pspp.log")"
grep -qiE "error|warning" "$WORK/codes/pspp.log" "$WORK/codes/codes.csv" &&
    fail "pspp warned on the reserved codes: $(grep -iE "error|warning" "$WORK/codes/pspp.log" "$WORK/codes/codes.csv" | head -3)"
/usr/bin/python3 - "$WORK/codes" <<'PY' || fail "DESCRIPTIVES counted reserved codes"
import csv, sys
work = sys.argv[1]
program = open(f"{work}/codes.sps", encoding="latin-1").read()
for shape in ("MISSING VALUES RUN5 (-5 THRU -1)", "MISSING VALUES RUN4ONE (-4 THRU -1, -9)",
              "MISSING VALUES GAPS (-7, -5, -3)", "RECODE GAPS (-1=SYSMIS)", "MISSING VALUES DEC3 (-0.004 THRU -0.001)"):
    if shape not in program:
        sys.exit(f"no {shape!r} in the program")
lines = [l.rstrip("\r\n") for l in open(f"{work}/d/DATA/CODES.DAT", encoding="latin-1")]
columns = {"Five in a run": (6, 8, 0, 5), "Four in a run and one": (9, 11, 0, 9),
           "Codes with gaps": (12, 14, 0, 7), "Implied decimals": (15, 19, 3, 4)}
reserved = {"Five in a run": {-1, -2, -3, -4, -5}, "Four in a run and one": {-1, -2, -3, -4, -9},
            "Codes with gaps": {-1, -3, -5, -7}, "Implied decimals": {-1, -2, -3, -4}}
rows = [r for r in csv.reader(open(f"{work}/codes.csv")) if r and r[0] in columns]
if len(rows) != 4:
    sys.exit(f"{len(rows)} descriptives rows")
for row in rows:
    first, last, decimals, _ = columns[row[0]]
    raw = [int(l[first - 1:last]) for l in lines if l[first - 1:last].strip()]
    values = [v / 10 ** decimals for v in raw if v not in reserved[row[0]]]
    if int(row[1]) != len(values) or abs(float(row[2]) - sum(values) / len(values)) > 0.006:
        sys.exit(f"{row[0]}: N {row[1]} mean {row[2]} for {len(values)}, {sum(values) / len(values):.3f}")
    if len(values) == len(raw):
        sys.exit(f"{row[0]}: the data hold no reserved code")
PY

echo "PASS"
