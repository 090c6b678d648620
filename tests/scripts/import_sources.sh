#!/bin/bash
# qavn-import of sources written by the real programs, each checked with
# qavn-extract --verify (exit 0) and against its metadata file:
#
# 1. PSPP writes a .sav (long names, user-missing codes and a range, F, DOLLAR
#    and DATE formats, partial value labels, texts with ü, ö and Ü, a whole
#    number 100000) and the same data as a portable .por: both import, both
#    verify, the .por gives the .sav's categories; the raw data hold no
#    exponent; the metadata says what the source declared; a query typed in
#    a UTF-8 terminal finds München.
# 2. pandas writes a .dta whose values are patched to Stata's .a and .b: the
#    codebook counts them and the metadata lists them.
# 3. A DDI codebook (valid under the schema when ../shared holds it) with two
#    data files: title, texts in their order, a case count per data file.
# 4. --force replaces only a folder qavn-import made, keeps the user's files
#    and the folder's permissions; the imported project opens whatever
#    QAVN_DRIVE_X says; the programs' --help work without a display.
#
# Usage: import_sources.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp
need_pandas
need_tools qavn-import qavn-extract
unset QAVN_DRIVE_C QAVN_DRIVE_D DISPLAY WAYLAND_DISPLAY QAVN_PROJECT
make_work sources
cd "$WORK"

verify() { # $1 folder, $2 ID
    (cd "$1" && "$BIN/qavn-extract" P="$2" --verify >"$WORK/verify.txt") ||
        { cat "$WORK/verify.txt" >&2; fail "$1: --verify found differences"; }
}
show_all() { # $1 folder, $2 ID: every variable's --show, names left out
    local count args=()
    count=$(cd "$1" && "$BIN/qavn-extract" P="$2" --list | wc -l)
    for ((n = 1; n <= count; n++)); do args+=(--show "$n"); done
    (cd "$1" && "$BIN/qavn-extract" P="$2" "${args[@]}") | grep -v '^name:\|^section:\|^Source:\|^Type: text'
}

# --- 1. PSPP: .sav and .por ----------------------------------------------------
cat >make.sps <<'SPS'
SET LOCALE='UTF-8'.
DATA LIST LIST /respondent_identifier (F6.0) household_income (DOLLAR12.2) interview_date (DATE11) city (A20)
  satisfaction (F1.0) population (F8.0) hours (F4.1).
BEGIN DATA
1 100000 01-JAN-2020 "München" 1 100000 7.5
2 -5 15-FEB-2020 "Köln" 2 250000 8.0
3 52000.5 15-FEB-2020 "Überlingen" 9 100000 6.5
4 . 03-MAR-2021 "Paris" 4 1200 .
5 73000.25 01-JAN-2020 "München" 3 100000 9.25
6 -999 04-APR-2021 "Zürich" 8 250000 7.5
END DATA.
VARIABLE LABELS household_income 'Total household income' interview_date 'Date of the interview'
  satisfaction 'Satisfaction with the town' hours 'Hours worked per day'.
VALUE LABELS satisfaction 1 'Low' 2 'Middle' 3 'High' 9 'Not asked' /city 'München' 'Munich'.
MISSING VALUES satisfaction (8, 9) /household_income (-999 THRU -1).
FILE LABEL 'Town survey 2020'.
SAVE OUTFILE='town.sav'.
EXPORT OUTFILE='town.por'.
SPS
# The syntax is UTF-8, which PSPP reads in a UTF-8 locale.
LC_ALL=C.UTF-8 pspp make.sps >/dev/null || fail "PSPP could not write the sources"
for kind in sav por; do
    "$BIN/qavn-import" "town.$kind" --id TOWN --out "$WORK/$kind" >/dev/null 2>"$WORK/err" ||
        fail "import town.$kind: $(cat "$WORK/err")"
    verify "$WORK/$kind" TOWN
    show_all "$WORK/$kind" TOWN >"$WORK/$kind.show"
    ! grep -q 'e[+-][0-9]' "$WORK/$kind/d/DATA/TOWN.DAT" || fail "town.$kind: exponents in the raw data"
done
cmp -s "$WORK/sav.show" "$WORK/por.show" || { diff "$WORK/sav.show" "$WORK/por.show" >&2; fail "the .por's codebook differs from the .sav's"; }
grep -q "^'M.nchen'	2	33.3	Munich" "$WORK/sav.show" || fail "the label of a Latin-1 code is lost"
grep -qa "^'?berlingen'	1	" "$WORK/sav.show" || fail "a code with a reserved byte is not shown as ?"
grep -q "^100000	3	50.0	" "$WORK/sav.show" || fail "100000 is not a plain category code"
grep -q "^categoryLineCount: 0" "$WORK/sav.show" || fail "the continuous variable has category lines"
hits=$(cd "$WORK/sav" && LC_ALL=C.UTF-8 "$BIN/qavn-extract" P=TOWN --query 'cat:münchen' | head -1)
[ "$hits" = "1 matching variable" ] || fail "a query typed in UTF-8 finds: $hits"
(cd "$WORK/sav" && LC_ALL=C.UTF-8 "$BIN/qavn-extract" P=TOWN --show 4) | grep -q "^'München'" ||
    fail "the listing in a UTF-8 terminal is not UTF-8"
/usr/bin/python3 - "$WORK/sav/c/QAVN/TOWN/TOWNQAV.META" <<'PY' || fail "the .sav's metadata differs"
import shlex, sys
lines = open(sys.argv[1], encoding='utf-8').read().splitlines()
assert lines[0] == 'QAVN-META 1', lines[0]
records, current = [], None
for line in lines[1:]:
    if not line or line.startswith('#'):
        continue
    kind, *fields = shlex.split(line, posix=True)
    item = dict(f.split('=', 1) for f in fields)
    if kind == 'variable':
        current = item | {'missing': []}
        records.append(current)
    elif kind == 'missing':
        current['missing'].append(item)
    elif kind == 'project':
        project = item
byname = {r['long'] or r['name']: r for r in records}
want = {
    'household_income': {'name': 'househol', 'display': 'dollar', 'decimals': '2',
                         'missing': [{'low': '-999', 'high': '-1', 'label': ''}]},
    'interview_date': {'display': 'date', 'origin': '1582-10-14', 'unit': 'seconds', 'format': 'DATE11'},
    'satisfaction': {'missing': [{'code': '8', 'label': ''}, {'code': '9', 'label': 'Not asked'}]},
    'city': {'type': 'string', 'display': 'string'},
    'hours': {'display': 'number', 'decimals': '1'},
}
for name, fields in want.items():
    for key, value in fields.items():
        if byname[name].get(key) != value:
            sys.exit(f"{name}.{key}: {byname[name].get(key)!r}, expected {value!r}")
assert project['title'] == 'Town survey 2020', project
PY

# --- 2. pandas: .dta with Stata's extended missing values ----------------------
/usr/bin/python3 - <<'PY' || fail "pandas could not write the .dta"
import struct
import numpy as np
import pandas as pd
a, b = 12345.678125, 23456.789125   # stand-ins, patched to .a and .b below
df = pd.DataFrame({'id': range(1, 9), 'score': [1.5, 2.0, a, 3.0, b, np.nan, 2.5, a],
                   'grp': np.array([1, 2, 1, 2, 3, 1, 2, 1], dtype=np.int8),
                   'town': ['München', 'Köln', 'Paris', 'München', 'Zürich', 'Paris', 'Köln', 'München']})
df.to_stata('wave.dta', write_index=False, version=118, value_labels={'grp': {1: 'One', 2: 'Two'}},
            variable_labels={'score': 'Test score'}, data_label='Wave 1')
data = open('wave.dta', 'rb').read()
for value, tag in ((a, 1), (b, 2)):
    data = data.replace(struct.pack('<d', value), struct.pack('<Q', 0x7FE0000000000000 + (tag << 40)))
open('wave.dta', 'wb').write(data)
read = pd.read_stata('wave.dta', convert_missing=True)['score'].astype(str).tolist()
assert read.count('.a') == 2 and read.count('.b') == 1, read
PY
"$BIN/qavn-import" wave.dta --id WAVE --out "$WORK/dta" >/dev/null 2>"$WORK/err" || fail "import wave.dta: $(cat "$WORK/err")"
verify "$WORK/dta" WAVE
show_all "$WORK/dta" WAVE >"$WORK/dta.show"
grep -q "^.a	2	25.0	" "$WORK/dta.show" && grep -q "^.b	1	12.5	" "$WORK/dta.show" ||
    fail "the extended missing values are not counted"
grep -q "^missing tag=a " "$WORK/dta/c/QAVN/WAVE/WAVEQAV.META" && grep -q "^missing tag=b " "$WORK/dta/c/QAVN/WAVE/WAVEQAV.META" ||
    fail "the metadata lacks .a and .b"
grep -q 'encoding="UTF-8"' "$WORK/dta/c/QAVN/WAVE/WAVEQAV.META" || fail "the .dta's encoding is not recorded"

# --- 3. DDI: title, texts, two data files ----------------------------------------
cat >census.xml <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<codeBook xmlns="ddi:codebook:2_5" version="2.5">
  <stdyDscr><citation><titlStmt><titl>Census extract 1990</titl></titlStmt></citation></stdyDscr>
  <fileDscr ID="H"><fileTxt><fileName>house.dat</fileName><dimensns><caseQnty>3</caseQnty></dimensns></fileTxt></fileDscr>
  <fileDscr ID="P"><fileTxt><fileName>person.dat</fileName><dimensns><caseQnty>4</caseQnty></dimensns></fileTxt></fileDscr>
  <dataDscr>
    <var ID="V1" name="SERIAL" files="H"><location StartPos="1" width="2"/><labl>Household serial</labl></var>
    <var ID="V2" name="RENT" files="H" dcml="2"><location StartPos="3" width="5"/><labl>Monthly rent</labl></var>
    <var ID="V3" name="INCTOT" files="P"><location StartPos="1" width="9"/><labl>Total personal income</labl>
      <qstn><qstnLit>What was your total income?</qstnLit></qstn>
      <universe>Persons age 15+</universe>
      <txt>INCTOT reports the total pre-tax personal income.

Amounts are in dollars.</txt>
      <catgry missing="Y"><catValu>999999999</catValu><labl>N.I.U.</labl></catgry>
      <codInstr>999999999 = N.I.U.</codInstr>
      <notes>Top-coded.</notes>
    </var>
  </dataDscr>
</codeBook>
XML
printf '%s\n' '0112500' '0200000' '0309950' >house.dat
printf '%s\n' '   100000' '999999999' '    25000' '   100000' >person.dat
SCHEMA_DIR="$SRC/../shared/ddi-codebook-2.5"
if [ -d "$SCHEMA_DIR" ]; then
    xsd=$(find "$SCHEMA_DIR" -name codebook.xsd | head -1)
    xmllint --noout --schema "$xsd" census.xml 2>"$WORK/xmllint.err" ||
        fail "the test codebook does not validate: $(cat "$WORK/xmllint.err")"
else
    echo "skipped: no DDI schema in $SCHEMA_DIR, the census codebook is not validated"
fi
"$BIN/qavn-import" census.xml --id CENSUS --out "$WORK/ddi" >"$WORK/out" 2>"$WORK/err" || fail "import census.xml: $(cat "$WORK/err")"
grep -q "2 data files: HOUSE.DAT 3 cases, PERSON.DAT 4 cases" "$WORK/out" || fail "case counts: $(cat "$WORK/out")"
[ ! -s "$WORK/err" ] || fail "the census import warned: $(cat "$WORK/err")"
verify "$WORK/ddi" CENSUS
head -1 "$WORK/ddi/c/QAVN/CENSUS/QAVSPEC.CENSUS" | grep -q "^Census extract 1990" || fail "the title is not the study's"
(cd "$WORK/ddi" && "$BIN/qavn-extract" P=CENSUS --show 3) >"$WORK/inctot"
/usr/bin/python3 - "$WORK/inctot" <<'PY' || fail "INCTOT's description"
import sys
text = open(sys.argv[1], encoding='latin-1').read()
order = ['INCTOT reports the total pre-tax personal income.', 'Amounts are in dollars.',
         'Coding: 999999999 = N.I.U.', 'Question: What was your total income?', 'Universe: Persons age 15+',
         'Notes: Top-coded.', '100000\t2\t50.0\t', '999999999\t1\t25.0\tN.I.U.']
at = [text.find(line) for line in order]
if -1 in at or at != sorted(at):
    sys.exit(f"lines {order} at {at} in\n{text}")
PY
(cd "$WORK/ddi" && "$BIN/qavn-extract" P=CENSUS --show 2) | grep -q "^typeCode: 2" ||
    fail "RENT does not keep its two declared decimals"

# --- 4. --force, drives, help ------------------------------------------------------
mkdir "$WORK/mine" && echo "my notes" >"$WORK/mine/notes.txt"
status=0
"$BIN/qavn-import" town.sav --id TOWN --out "$WORK/mine" --force >/dev/null 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "mine exists and is not a project qavn-import made" "$WORK/err" ||
    fail "--force over a folder the import did not make ($status): $(cat "$WORK/err")"
[ "$(cat "$WORK/mine/notes.txt")" = "my notes" ] || fail "--force touched the user's file"
echo "kept" >"$WORK/sav/notes.txt"
echo "output" >"$WORK/sav/c/QAVN/OUT/TOWN.SAS"
chmod 750 "$WORK/sav"
"$BIN/qavn-import" town.sav --id TOWN --out "$WORK/sav" --force >/dev/null 2>&1 || fail "--force did not replace an import"
[ "$(cat "$WORK/sav/notes.txt")" = kept ] && [ "$(cat "$WORK/sav/c/QAVN/OUT/TOWN.SAS")" = output ] ||
    fail "--force lost the user's files in an imported folder"
[ "$(stat -c %a "$WORK/sav")" = 750 ] || fail "the replaced folder has mode $(stat -c %a "$WORK/sav")"
[ -z "$(ls -A "$WORK" | grep '^\.' || true)" ] || fail "temporary folders left behind: $(ls -A "$WORK")"
(cd "$WORK/sav" && QAVN_DRIVE_C=/nonexistent QAVN_DRIVE_D=/nonexistent "$BIN/qavn-extract" P=TOWN --verify >/dev/null) ||
    fail "the imported project depends on QAVN_DRIVE_C and QAVN_DRIVE_D"
"$BIN/qavn-import" --help | grep -q "SPSS portable .por" || fail "qavn-import --help lacks the kinds"
[ "$("$BIN/qavn-import" --kind town.por)" = por ] || fail "qavn-import --kind"
if [ -x "$BIN/qavn" ]; then
    "$BIN/qavn" --help | grep -q "Usage: qavn P=ID" || fail "qavn --help without a display"
    "$BIN/qavn-import-window" --help | grep -q "Usage: qavn-import-window" || fail "qavn-import-window --help"
    status=0
    "$SRC/src/resources/qavn-open" >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 2 ] && grep -q "Usage: qavn-open FILE" "$WORK/err" || fail "qavn-open without a file ($status)"
fi
echo "PASS"
