#!/bin/bash
# The published codebooks of the demo project, read by real readers. The demo
# source is given long names, declared missing values and formats for two
# variables, and a label holding markup, before qavn-mkproject makes it.
#
# 1. Headless Chromium opens the site from file:// (scripts run, --dump-dom):
#    every tagged variable is listed; with ?q= only what qavn-extract --query
#    finds for the same text; the label with markup shows as text and runs
#    nothing; an entry shows its long name, format and missing values. No
#    file of the site names an http: or https: resource.
# 2. pandas (openpyxl) reads both sheets of the xlsx dictionary: a row per
#    variable, the long names, formats and missing values of the metadata, and
#    codes and frequencies equal to the codebook's category lines.
#
# Usage: publish_readers.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-mkproject qavn-extract
count_failures
make_work publish

# The demo source with metadata and a hostile label.
/usr/bin/python3 - "$SRC/samples/demo/demo.json" "$WORK/demo.json" <<'PY'
import json, sys
demo = json.load(open(sys.argv[1]))
by_name = {v["name"]: v for v in demo["variables"]}
sex = by_name["KEY_SEX"]
sex["longName"] = "respondent_sex_at_screening"
sex["missing"] = [{"code": "X", "label": "Not asked"}]
numeric = next(v for v in demo["variables"] if v["type"] == "0" and v.get("categories"))
numeric["longName"] = "numeric_with_missing"
numeric["format"] = "F8.2"
numeric["missing"] = [{"code": -9, "label": "Refused"}, {"low": 97, "high": 99}]
hostile = next(v for v in demo["variables"] if v is not sex and v is not numeric)
hostile["label"] = "<script>document.title='RAN'</script><b onclick=x>& \"q\""
json.dump(demo, open(sys.argv[2], "w"))
json.dump({"numeric": numeric["name"], "hostile": hostile["name"], "label": hostile["label"]},
          open(sys.argv[2] + ".names", "w"))
PY
SRC_DEMO=$WORK/demo.json
"$BIN/qavn-mkproject" "$SRC_DEMO" --out "$WORK/project" >/dev/null || die "qavn-mkproject could not make the project"
export QAVN_DRIVE_C="$WORK/project/c" QAVN_DRIVE_D="$WORK/project/d"
cd "$WORK/project"
extract() { "$BIN/qavn-extract" P=DEMO "$@"; }
COUNT=$(extract --list | wc -l)
extract --list | cut -f2 | awk '{print $1}' >"$WORK/names.txt"

extract --tag "1-$COUNT" --html "$WORK/site" --xlsx "$WORK/dictionary.xlsx" >/dev/null ||
    die "the html and xlsx outputs failed"
[ -f "$WORK/site/index.html" ] && [ -f "$WORK/dictionary.xlsx" ] || die "the outputs are not where they were asked"

# --- the site: nothing of the network --------------------------------------
if grep -rlIiE '(https?:)?//[a-z0-9.-]+\.[a-z]{2,}/|(src|href)="https?:|url\(https?:|https?://' "$WORK/site" >"$WORK/net.txt"; then
    fail "files of the site name a network resource: $(tr '\n' ' ' <"$WORK/net.txt")"
fi

# --- 1. Chromium ------------------------------------------------------------
CHROMIUM=$(command -v chromium || true)
if [ -z "$CHROMIUM" ]; then
    skip "chromium is not installed, the site is not opened in a browser"
else
    profile=0
    page() { # $1 the address's query: the DOM after the scripts ran, into $WORK/dom.html
        profile=$((profile + 1))
        timeout 120 "$CHROMIUM" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
            --disable-background-networking --disable-component-update --disable-sync \
            --user-data-dir="$WORK/profile$profile" --virtual-time-budget=15000 \
            --dump-dom "file://$WORK/site/index.html$1" >"$WORK/dom.html" 2>"$WORK/chromium.txt" ||
            { fail "chromium could not open the site ($1): $(tail -3 "$WORK/chromium.txt")"; return 1; }
    }
    # The names in the list on screen, one a line.
    shown() {
        /usr/bin/python3 - "$WORK/dom.html" <<'PY'
import re, sys
dom = open(sys.argv[1], encoding="utf-8").read()
table = re.search(r'<table class="variables".*?</table>', dom, re.S)
body = re.search(r"<tbody.*?</tbody>", table.group(0), re.S) if table else None
for row in re.findall(r"<tr[^>]*>(.*?)</tr>", body.group(0) if body else "", re.S):
    cell = re.search(r"<t[hd][^>]*>(.*?)</t[hd]>", row, re.S)
    text = re.sub(r"<[^>]+>", "", cell.group(1)).strip() if cell else ""
    if text and not re.match(r"Section \d+:", text):  # the rows that head a section
        print(text)
PY
    }
    if page ""; then
        shown >"$WORK/shown.txt"
        diff -q "$WORK/names.txt" "$WORK/shown.txt" >/dev/null ||
            fail "the site lists $(wc -l <"$WORK/shown.txt") variables, the project $COUNT (or in another order)"
        /usr/bin/python3 - "$WORK/dom.html" "$SRC_DEMO.names" >"$WORK/label.txt" <<'PY' || fail "the label with markup was not shown as text: $(tr '\n' ' ' <"$WORK/label.txt")"
import html, json, sys
dom = open(sys.argv[1], encoding="utf-8").read()
names = json.load(open(sys.argv[2]))
errors = []
if "RAN" in dom.split("</title>")[0]:
    errors.append("a script of the label ran")
if "<img src=\"x\"" in dom or "<script>document" in dom:
    errors.append("the label became markup")
if html.escape(names["label"], quote=False) not in dom:
    errors.append("the label's text is not on the page")
if "<html lang=" not in dom[:200]:
    errors.append("the page has no language: " + dom[:60])
for e in errors:
    print(e)
sys.exit(1 if errors else 0)
PY
    fi
    # ?q= shows what the program's own query finds.
    for query in 'sex' 'school AND NOT grade' '"date of birth"'; do
        extract --query "$query" | grep $'\t' | cut -f2 | awk '{print $1}' >"$WORK/expected.txt"
        [ -s "$WORK/expected.txt" ] || fail "the query $query finds nothing in the demo"
        encoded=$(/usr/bin/python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$query")
        page "?q=$encoded" || continue
        shown >"$WORK/shown.txt"
        diff "$WORK/expected.txt" "$WORK/shown.txt" >"$WORK/diff.txt" ||
            fail "?q=$query: the site shows $(wc -l <"$WORK/shown.txt"), qavn-extract finds $(wc -l <"$WORK/expected.txt"): $(head -5 "$WORK/diff.txt" | tr '\n' ' ')"
        grep -q "value=\"$(printf '%s' "$query" | sed 's/"/\&quot;/g')\"" "$WORK/dom.html" ||
            grep -q 'id="q"' "$WORK/dom.html" || fail "?q=$query: no search box"
    done
    # An entry with its metadata, by its anchor.
    NUMERIC=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["numeric"])' "$SRC_DEMO.names")
    if page "?q=$NUMERIC&view=entries"; then
        for text in "numeric_with_missing" "F8.2" "-9 (Refused)" "97 thru 99"; do
            grep -qF -- "$text" "$WORK/dom.html" || fail "the entry of $NUMERIC does not show $text"
        done
    fi
fi

# --- 2. pandas --------------------------------------------------------------
if ! /usr/bin/python3 -c 'import pandas, openpyxl' 2>/dev/null; then
    skip "pandas with openpyxl is not installed (python3-pandas, python3-openpyxl), the dictionary is not read"
else
    args=()
    for ((n = 1; n <= COUNT; n++)); do args+=(--show "$n"); done
    extract "${args[@]}" >"$WORK/shown_all.txt"
    /usr/bin/python3 - "$WORK/dictionary.xlsx" "$WORK/shown_all.txt" "$WORK/names.txt" "$SRC_DEMO.names" <<'PY' ||
import json, re, sys
import pandas as pd

book, shown, names_file, marked = sys.argv[1:5]
errors = []
sheets = pd.read_excel(book, sheet_name=None, engine="openpyxl")
if list(sheets) != ["Variables", "Value labels"]:
    errors.append(f"sheets {list(sheets)}")
variables, labels = sheets["Variables"], sheets["Value labels"]
names = open(names_file).read().split()
if list(variables["name"]) != names:
    errors.append(f"{len(variables)} variable rows for {len(names)} variables")
marked = json.loads(open(marked).read())
row = variables.set_index("name")
sex = row.loc["KEY_SEX"]
if sex["long name"] != "respondent_sex_at_screening" or "'X' (Not asked)" not in str(sex["missing values"]):
    errors.append(f"KEY_SEX: {sex['long name']!r}, {sex['missing values']!r}")
numeric = row.loc[marked["numeric"]]
if numeric["format"] != "F8.2" or str(numeric["missing values"]) != "-9 (Refused), 97 thru 99":
    errors.append(f"{marked['numeric']}: {numeric['format']!r}, {numeric['missing values']!r}")
if row.loc[marked["hostile"]]["label"] != marked["label"]:
    errors.append(f"label with markup: {row.loc[marked['hostile']]['label']!r}")
if not pd.api.types.is_numeric_dtype(variables["line"]):
    errors.append("line is not a number column")

# The category lines of --show: code, frequency (the percent and label follow).
expected = []
name = None
for line in open(shown, encoding="latin-1").read().split("\n"):
    m = re.match(r"name: (\S+)", line)
    if m:
        name, in_categories = m.group(1), False
    elif line == "categories:":
        in_categories = True
    elif in_categories and line.strip():
        fields = line.split("\t")
        expected.append((name, fields[0].strip().strip("'"), fields[1].strip()))
    elif not line.strip():
        in_categories = False
got = [(v, str(c), f) for v, c, f in zip(labels["variable"], labels["code"], labels["frequency"])]
def norm(code):
    try:
        return repr(float(code))
    except ValueError:
        return code
def freq(f):
    try:
        return float(f)
    except ValueError:
        return f
exp = [(v, norm(c), freq(f)) for v, c, f in expected]
got = [(v, norm(c), freq(f)) for v, c, f in got]
if not expected:
    errors.append("no category line in --show")
if got != exp:
    first = next((i for i, (a, b) in enumerate(zip(got, exp)) if a != b), min(len(got), len(exp)))
    errors.append(f"{len(got)} value-label rows for {len(exp)} category lines; first difference at {first}: "
                  f"{got[first] if first < len(got) else None} / {exp[first] if first < len(exp) else None}")
if not pd.api.types.is_numeric_dtype(labels["frequency"]):
    errors.append("frequency is not a number column")
for e in errors:
    print(e)
sys.exit(1 if errors else 0)
PY
        fail "the dictionary read back wrong"
fi

[ "$failures" -eq 0 ] || die "$failures failures"
echo "ok"
