#!/bin/bash
# The generated SPSS command files run in a real reader: PSPP.
#
# Builds the demo project, writes SPSS command files (WIN and DOS dialects;
# all value labels, and none for reserved codes) for every variable of all
# its data files with qavn-extract, points only the data and output file paths
# at this machine (and spells /STATS= out as /STATISTICS=DEFAULT, the one
# abbreviation PSPP does not take), runs pspp and fails on any error or
# warning. Then every frequency table PSPP printed must
# equal the category lines of the codebook (qavn-extract --show), count for
# count, and be titled with the variable's label.
#
# Usage: pspp_spss.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp python3
make_work pspp
demo_project "$WORK/project"
ID=DEMO
extract() { "$BIN/qavn-extract" "P=$ID" "$@"; }

extract --list >"$WORK/list.txt"
COUNT=$(wc -l <"$WORK/list.txt")
[ "$COUNT" -gt 0 ] || fail "the demo project lists no variables"
SHOW_ARGS=()
for ((n = 1; n <= COUNT; n++)); do SHOW_ARGS+=(--show "$n"); done
extract "${SHOW_ARGS[@]}" >"$WORK/show.txt"

# WIN with value labels for every variable; DOS without labels for reserved
# codes, so PSPP shows some values as they are.
for run in "spss all" "spss-dos none"; do
    read -r dialect labels <<<"$run"
    OUT="$WORK/$dialect"
    mkdir -p "$OUT/sav"
    extract --tag "1-$COUNT" --labels "$labels" "--$dialect" "$OUT/program.sps" ||
        fail "qavn-extract --$dialect failed"
    [ -s "$OUT/program.sps" ] || fail "no $dialect command file written"

    python3 - "$OUT/program.sps" "$OUT/run.sps" "$PROJECT/d" "$OUT/sav" <<'EOF'
import re, sys
source, target, drive_d, sav = sys.argv[1:5]
text = open(source, 'rb').read().decode('latin-1')
# Raw data paths on the CD-ROM drive, and the system files in the output
# directory: nothing else of the program is changed.
text, data_paths = re.subn(r"'[A-Za-z]:\\([^']*\.DAT)'",
                           lambda m: "'" + drive_d + "/" + m.group(1).replace('\\', '/') + "'", text)
text, out_paths = re.subn(r"'[A-Za-z]:\\[^']*\\(X[0-9]+|XTRACT)'",
                          lambda m: "'" + sav + "/" + m.group(1) + ".sav'", text)
text = re.sub(r"/STATS=[^.\r\n]*\.", "/STATISTICS=DEFAULT.", text)
if data_paths == 0 or out_paths == 0:
    sys.exit("no data or output path found to rewrite")
open(target, 'wb').write(text.encode('latin-1'))
EOF

    status=0
    (cd "$OUT" && pspp -O format=csv run.sps -o "$OUT/run.csv") >"$OUT/pspp.log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || grep -qiE "(error|warning):" "$OUT/pspp.log" "$OUT/run.csv"; then
        grep -iE "(error|warning):" "$OUT/pspp.log" "$OUT/run.csv" | head -20 >&2 || true
        fail "pspp rejected the $dialect command file (status $status)"
    fi
    for f in X1 X2 XTRACT; do
        [ -s "$OUT/sav/$f.sav" ] || fail "$dialect: PSPP did not save $f"
    done

    python3 - "$OUT/program.sps" "$OUT/run.csv" "$WORK/list.txt" "$WORK/show.txt" "$dialect" <<'EOF'
import csv, io, re, sys
program, tables_csv, list_txt, show_txt, dialect = sys.argv[1:6]

# Variable names in the order the FREQUENCIES commands list them.
text = open(program, 'rb').read().decode('latin-1').replace('\r\n', '\n')
order = []
for block in re.findall(r"FREQUENCIES VARIABLES=\n(.*?)\.\n", text, re.S):
    order += block.split()

# Name -> label and category lines from --show.
shown = {}
current = None
section = None
for line in open(show_txt, encoding='latin-1').read().split('\n'):
    if line.startswith('name: '):
        current = {'label': '', 'categories': []}
        shown[line[6:]] = current
        section = None
    elif current is None:
        continue
    elif line.startswith('label: ') and section is None:
        current['label'] = line[7:]
    elif line in ('description:', 'categories:'):
        section = line
    elif section == 'categories:' and line:
        code, freq, pct, label = (line.split('\t') + ['', '', '', ''])[:4]
        current['categories'].append((code, int(freq), label))

# Frequency tables from PSPP's CSV output, in order.
tables = []
title = None
rows = []
for line in open(tables_csv, encoding='latin-1').read().split('\n') + ['']:
    if line.startswith('Table: '):
        title, rows = line[7:], []
    elif line == '':
        if title is not None and rows and rows[0][2:4] == ['Frequency', 'Percent']:
            tables.append((title, rows[1:]))
        title, rows = None, []
    elif title is not None:
        rows.append(next(csv.reader(io.StringIO(line))))

if len(tables) != len(order):
    sys.exit(f"{dialect}: {len(order)} variables in FREQUENCIES but {len(tables)} tables from PSPP")
if len(order) < 10:
    sys.exit(f"{dialect}: only {len(order)} frequency variables; the check needs more")

checked = 0
for name, (title, rows) in zip(order, tables):
    var = shown.get(name)
    if var is None:
        sys.exit(f"{dialect}: {name} is not in the codebook")
    if title != var['label']:
        sys.exit(f"{dialect}: table for {name} is titled {title!r}, label is {var['label']!r}")
    expected = {}
    for code, freq, label in var['categories']:
        if freq:
            expected[label] = expected.get(label, 0) + freq
    codes = {code.strip("'"): label for code, freq, label in var['categories']}
    printed = {}
    for row in rows:
        if row[0] == 'Total':
            continue
        key = codes.get(row[1], row[1])  # a value without label shows as itself
        printed[key] = printed.get(key, 0) + int(row[2])
    if printed != expected:
        sys.exit(f"{dialect}: frequencies of {name} differ\n  codebook: {expected}\n  pspp:     {printed}")
    checked += 1
print(f"{dialect}: {checked} frequency tables match the codebook")
EOF
done
echo "PASS"
