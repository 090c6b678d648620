#!/bin/bash
# qavn-import reads a DDI Codebook 2.5 document and its fixed-width data.
#
# 1. A small codebook (two groups, a categorical numeric with a missing
#    category, a variable with implied decimals, a text variable) is checked
#    against the DDI schema, imported from plain and gzip-compressed data and
#    from FILE.xml:DATA; the names, labels, sections, descriptions and the
#    category frequencies counted from the data must show in the codebook.
# 2. Refusals: overlapping locations, a location past a line's end, a field
#    that is not a number, a missing data file; each names the file and place.
#
# Usage: import_ddi.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-import qavn-extract
unset QAVN_DRIVE_C QAVN_DRIVE_D
make_work ddi
cd "$WORK"

cat >survey.xml <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<codeBook xmlns="ddi:codebook:2_5" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
          xsi:schemaLocation="ddi:codebook:2_5 codebook.xsd" version="2.5">
  <stdyDscr>
    <citation><titlStmt><titl>Household survey</titl></titlStmt></citation>
  </stdyDscr>
  <fileDscr ID="F1">
    <fileTxt><fileName>survey.dat</fileName></fileTxt>
  </fileDscr>
  <dataDscr>
    <varGrp ID="G1" var="V1 V2"><labl>Household</labl></varGrp>
    <varGrp ID="G2" var="V3 V4"><labl>Person</labl></varGrp>
    <var ID="V1" name="region" files="F1" intrvl="discrete">
      <location StartPos="1" EndPos="1" width="1"/>
      <labl>Region of residence</labl>
      <qstn><qstnLit>In which region
        do you live?</qstnLit></qstn>
      <universe>All households</universe>
      <catgry><catValu>1</catValu><labl>North</labl></catgry>
      <catgry><catValu>2</catValu><labl>South</labl></catgry>
      <catgry missing="Y"><catValu>9</catValu><labl>Not stated</labl></catgry>
      <concept>Geography</concept>
      <varFormat type="numeric" schema="other"/>
      <notes>Coded by the interviewer.</notes>
    </var>
    <var ID="V3" name="name" files="F1" intrvl="discrete">
      <location StartPos="8" EndPos="12" width="5"/>
      <labl>First name</labl>
      <catgry><catValu>Bob</catValu><labl>The builder</labl></catgry>
      <varFormat type="character" schema="other"/>
    </var>
    <var ID="V2" name="income" files="F1" intrvl="contin" dcml="2">
      <location StartPos="2" EndPos="7" width="6"/>
      <labl>Monthly income</labl>
      <varFormat type="numeric" schema="other"/>
    </var>
    <var ID="V4" name="age" files="F1" intrvl="contin">
      <location StartPos="13" width="2"/>
      <labl>Age in years</labl>
      <varFormat type="numeric" schema="other"/>
    </var>
  </dataDscr>
</codeBook>
XML
printf '%s\n' '1012345Anne 34' '2000050Bob  51' '91250.5Zed  07' '1      Anne   ' '2000100Eve  29' >survey.dat

SCHEMA_DIR="$SRC/../shared/ddi-codebook-2.5"
if [ -d "$SCHEMA_DIR" ]; then
    xsd=$(find "$SCHEMA_DIR" -name codebook.xsd | head -1)
    [ -n "$xsd" ] || fail "no codebook.xsd in $SCHEMA_DIR"
    xmllint --noout --schema "$xsd" survey.xml 2>"$WORK/xmllint.err" ||
        fail "the test codebook does not validate: $(cat "$WORK/xmllint.err")"
else
    skip "no DDI schema in $SCHEMA_DIR, the test codebook is not validated"
fi

check() { # $1 project folder, $2 label for messages
    local list show
    list=$(cd "$1" && "$BIN/qavn-extract" P=DD --list) || fail "$2: --list"
    show=$(cd "$1" && "$BIN/qavn-extract" P=DD --show 1 --show 2 --show 3 --show 4) || fail "$2: --show"
    printf '%s\n' "$list" >"$WORK/list.txt"
    printf '%s\n' "$show" >"$WORK/show.txt"
    /usr/bin/python3 - "$WORK/list.txt" "$WORK/show.txt" "$2" <<'PY' || fail "$2: codebook differs"
import sys
listing = open(sys.argv[1], encoding='latin-1').read()
show = open(sys.argv[2], encoding='latin-1').read()
expected = {
    # Groups become sections; a group's variables follow each other.
    'region': ['Region of residence', 'section: Household', 'Question: In which region do you live?',
               'Universe: All households', 'Concept: Geography', 'Notes: Coded by the interviewer.',
               'Missing values: 9', '1\t2\t', '2\t2\t', '9\t1\t'],
    # Continuous (fractions, no labels): figures, no category lines.
    'income': ['Monthly income', 'section: Household', 'format F6.2', 'Interval: continuous', 'typeCode: 2',
               'categoryLineCount: 0', 'Cases: 4 valid, 1 missing', 'Minimum: 0.5  Maximum: 1250.5'],
    'name': ['First name', 'section: Person', "'Bob'\t1\t", "'Anne'\t2\t", 'Type: text'],
    'age': ['Age in years', 'section: Person', 'Cases: 4 valid, 1 missing'],
}
blocks = {}
for block in show.split('name: ')[1:]:
    blocks[block.split('\n', 1)[0].strip()] = block
if list(blocks) != ['region', 'income', 'name', 'age']:
    sys.exit(f"variables in the order {list(blocks)}\n{listing}")
for name, wants in expected.items():
    for want in wants:
        if want not in blocks[name]:
            sys.exit(f"{name}: no {want!r} in\n{blocks[name]}")
names = [line.split('\t')[1].split()[0] for line in listing.splitlines() if '\t' in line]
if names != list(blocks):
    sys.exit(f"--list names {names}")
print(f"{sys.argv[3]}: codebook as described")
PY
}

"$BIN/qavn-import" survey.xml --id DD --out "$WORK/p" >/dev/null 2>"$WORK/err" || fail "import: $(cat "$WORK/err")"
check "$WORK/p" "plain data"

gzip -c survey.dat >packed.gz
"$BIN/qavn-import" survey.xml:packed.gz --id DD --out "$WORK/g" >/dev/null 2>"$WORK/err" ||
    fail "import gzip: $(cat "$WORK/err")"
check "$WORK/g" "gzip data named after the colon"
cmp "$WORK/p/d/DATA/SURVEY.DAT" "$WORK/g/d/DATA/SURVEY.DAT" || fail "gzip data wrote other raw data"

# --- Two data files in one codebook: each var in the fileDscr its files= names
cat >two.xml <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<codeBook xmlns="ddi:codebook:2_5" version="2.5">
  <fileDscr ID="H"><fileTxt><fileName>C:\SURVEY\house.dat</fileName></fileTxt></fileDscr>
  <fileDscr ID="P"><fileTxt><fileName>people.dat</fileName></fileTxt></fileDscr>
  <fileDscr ID="UNUSED"><fileTxt><fileName>nothing.dat</fileName></fileTxt></fileDscr>
  <dataDscr>
    <var ID="V1" name="hhid" files="H"><location StartPos="1" width="2"/><labl>Household</labl></var>
    <var ID="V2" name="pid" files="P"><location StartPos="1" width="3"/><labl>Person</labl></var>
    <var ID="V3" name="rooms" files="H"><location StartPos="3" width="1"/>
      <catgry><catValu>1</catValu><labl>One room</labl></catgry></var>
    <var ID="V4" name="sex" files="P H"><location StartPos="4" width="1"/>
      <catgry><catValu>2</catValu><labl>Female</labl></catgry></var>
  </dataDscr>
</codeBook>
XML
printf '%s\n' '011' '023' >house.dat
printf '%s\n' '1011' '1022' '2012' >people.dat
"$BIN/qavn-import" two.xml --id TWO --out "$WORK/two" >/dev/null 2>"$WORK/err" || fail "two files: $(cat "$WORK/err")"
(cd "$WORK/two" && "$BIN/qavn-extract" P=TWO --show 1 --show 2 --show 3 --show 4) >"$WORK/show.txt" ||
    fail "two files: --show"
/usr/bin/python3 - "$WORK/show.txt" <<'PY' || fail "two files: codebook differs"
import sys
blocks = {}
for block in open(sys.argv[1], encoding='latin-1').read().split('name: ')[1:]:
    blocks[block.split('\n', 1)[0].strip()] = block
expected = {'hhid': ['fileNumber: 1', 'section: house.dat'], 'rooms': ['fileNumber: 1', '1\t1\t50.0\tOne room'],
            'pid': ['fileNumber: 2', 'section: people.dat'], 'sex': ['fileNumber: 2', '2\t2\t66.7\tFemale']}
if sorted(blocks) != sorted(expected):
    sys.exit(f"variables {list(blocks)}")
for name, wants in expected.items():
    for want in wants:
        if want not in blocks[name]:
            sys.exit(f"{name}: no {want!r} in\n{blocks[name]}")
print("two data files: codebook as described")
PY
[ "$(ls "$WORK/two/d/DATA")" = "$(printf 'HOUSE.DAT\nPEOPLE.DAT')" ] || fail "two files: data files $(ls "$WORK/two/d/DATA")"

# --- Refusals ---------------------------------------------------------------
refuse() { # $1 source, $2 expected message part
    local status=0
    rm -rf "$WORK/r"
    "$BIN/qavn-import" "$1" --id RF --out "$WORK/r" >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 1 ] && grep -qF -- "$2" "$WORK/err" ||
        fail "$1 was not refused with '$2' ($status): $(cat "$WORK/err")"
    [ ! -e "$WORK/r" ] || fail "$1: a refused import left its folder"
}
sed 's/StartPos="8" EndPos="12" width="5"/StartPos="7" EndPos="11" width="5"/' survey.xml >overlap.xml
refuse overlap.xml:survey.dat "overlap.xml: line 26: name (columns 7-11) overlaps income (columns 2-7)"
sed 's/StartPos="13" width="2"/StartPos="13" width="3"/' survey.xml >past.xml
refuse past.xml:survey.dat "survey.dat: line 1: age (columns 13-15) runs past the line's end (14 characters)"
printf '%s\n' '1012345Anne 34' '2000x50Bob  51' >bad.dat
refuse survey.xml:bad.dat "bad.dat: line 2, columns 2-7: income: '000x50' is not a number"
refuse survey.xml:none.dat "none.dat: cannot be opened"
sed 's/files="P H"/files="Q"/' two.xml >stray.xml
refuse stray.xml "stray.xml: line 11: sex: files=\"Q\" names no fileDscr"
refuse two.xml:people.dat "two.xml: the codebook describes 2 data files"
printf '<codeBook><dataDscr><var name="a"><location StartPos="1"' >cut.xml
refuse cut.xml "cut.xml: line 1"
echo "PASS"
