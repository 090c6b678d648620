#!/bin/bash
# qavn-extract --tabulate checked against PSPP and the codebook.
#
# 1. A data set built with PSPP (a weight with blank, negative and zero
#    values, declared missing codes and a range, a blank text, a label with a
#    comma) is imported; its weighted frequencies and crosstab, missing values
#    left out and taken in, equal PSPP's WEIGHT BY + FREQUENCIES / CROSSTABS
#    on the same .sav, every CSV read with Python's csv module. The cases the
#    weight could not weigh are counted in a note.
# 2. The demo project: unweighted frequencies equal the codebook's category
#    lines; a pair of variables of two data files is matched by the
#    identifier; a missing data file and a short line fail, naming the file.
#
# Usage: extract_tabulate.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp
need_tools qavn-import qavn-extract qavn-mkproject
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
unset QAVN_DRIVE_C QAVN_DRIVE_D
make_work tabulate
cd "$WORK"

# --- 1. Against PSPP ---------------------------------------------------------
/usr/bin/python3 - <<'PY'
rows = []
for i in range(1, 241):
    a = (i * 5 + i // 7) % 6 + 1          # 1..6; 6 declared missing
    a = 9 if i % 23 == 0 else a           # 9 in the missing range 8 thru 9
    b = '.' if i % 19 == 0 else str((i // 4) % 3 + 1)
    wt = '.' if i % 31 == 0 else ('-1.50' if i == 50 else '%.2f' % (((i * 13) % 17) / 4))
    s = ['"north"', '"south"', '"east"', '" "'][(i // 3) % 4]
    rows.append(f"{i} {a} {b} {wt} {s}")
open('data.txt', 'w').write('\n'.join(rows) + '\n')
PY
cat >make.sps <<EOF
DATA LIST LIST /id (F4.0) a (F2.0) b (F2.0) wt (F6.2) s (A6).
BEGIN DATA
$(cat data.txt)
END DATA.
VARIABLE LABELS a 'Opinion' b 'Group' wt 'Case weight' s 'Region'.
VALUE LABELS a 1 'Low' 2 'Mid, low' 3 'Mid' 4 'High' 5 'Top' 6 'Unsure' 9 'Refused' /b 1 'One' 2 'Two' 3 'Three'.
MISSING VALUES a (6, 8 THRU 9) s ('east').
SAVE OUTFILE='tb.sav'.
EOF
pspp make.sps >/dev/null || fail "pspp could not write the data set"
cat >pspp.sps <<'EOF'
SET TVARS=NAMES TNUMBERS=VALUES.
GET FILE='tb.sav'.
WEIGHT BY wt.
FREQUENCIES a s b /STATISTICS=NONE.
CROSSTABS a BY b /CELLS=COUNT.
CROSSTABS a BY b /MISSING=INCLUDE /CELLS=COUNT.
EOF
pspp -O format=csv pspp.sps -o pspp.csv >/dev/null 2>&1 || fail "pspp could not count the data set"
"$BIN/qavn-import" tb.sav --id TB --out p --id-variable id >/dev/null 2>import.err || fail "qavn-import: $(cat import.err)"
tab() { (cd p && "$BIN/qavn-extract" P=TB --tabulate "$@"); }
tab a --weight wt >a.csv 2>a.err || fail "--tabulate a --weight wt: $(cat a.err)"
tab a --weight wt --missing include >a_in.csv 2>/dev/null || fail "--tabulate a --missing include"
tab s --weight WT --missing include >s_in.csv 2>/dev/null || fail "--tabulate s --missing include"
tab s --weight 4 >s.csv 2>/dev/null || fail "--tabulate s --weight 4"
tab b --weight wt --missing include >b_in.csv 2>/dev/null || fail "--tabulate b --missing include"
tab a,b --weight wt >ab.csv 2>/dev/null || fail "--tabulate a,b"
tab a,b --weight wt --missing include >ab_in.csv 2>/dev/null || fail "--tabulate a,b --missing include"
tab a >a_count.csv 2>/dev/null || fail "--tabulate a"
grep -q "^qavn-extract: note: 8 cases left out: the weight wt" a.err || fail "no note on the 8 unweighable cases: $(cat a.err)"

/usr/bin/python3 - <<'PY' || fail "the tables differ from PSPP's"
import csv, io, sys
# PSPP's tables by title: each a list of rows of fields.
tables, title, rows = {}, None, []
for line in open('pspp.csv', encoding='utf-8').read().split('\n') + ['']:
    if line.startswith('Table: '):
        title, rows = line[7:], []
    elif line == '':
        if title is not None:
            tables.setdefault(title, []).append(rows)
        title = None
    elif title is not None:
        rows.append(next(csv.reader(io.StringIO(line))))
def ours(name):
    with open(name, newline='', encoding='utf-8') as f:
        text = f.read()
    if not text.endswith('\r\n') or '\n' in text.replace('\r\n', ''):
        sys.exit(f"{name}: lines do not end in CR LF")
    return list(csv.DictReader(io.StringIO(text, newline='')))
def near(x, y, tolerance, what):
    if abs(float(x) - float(y)) > tolerance:
        sys.exit(f"{what}: ours {x}, PSPP {y}")
def frequencies(var, name, include, numeric=True):
    pspp = {}
    total = valid = 0
    for row in tables[var][0][1:]:
        if row[0] == 'Total':
            total = float(row[2])
            continue
        key = ('.' if row[1] == '.' else float(row[1])) if numeric else row[1].strip()
        pspp[key] = row
    table = ours(name)
    keys = [(float(r[var]) if r[var] else '.') if numeric else r[var] for r in table]
    want = [k for k, row in pspp.items() if include or row[4]]
    if sorted(map(str, keys)) != sorted(map(str, want)):
        sys.exit(f"{name}: values {keys}, PSPP {want}")
    for r, k in zip(table, keys):
        near(r['weighted'], pspp[k][2], 0.005, f"{name} {k} weighted")
        near(r['percent'], pspp[k][3 if include else 4].rstrip('%'), 0.05, f"{name} {k} percent")
    near(sum(float(r['weighted']) for r in table), total if include else
         sum(float(row[2]) for row in pspp.values() if row[4]), 0.005, f"{name} total")
    return table
a = frequencies('a', 'a.csv', False)
if a[1]['a_label'] != 'Mid, low' or list(a[0]) != ['a', 'a_label', 'count', 'weighted', 'percent']:
    sys.exit(f"a.csv: header or label wrong: {a[:2]}")
frequencies('a', 'a_in.csv', True)
frequencies('s', 's_in.csv', True, numeric=False)
frequencies('s', 's.csv', False, numeric=False)
frequencies('b', 'b_in.csv', True)
# Unweighted: every case counts once, the unweighable ones too.
counts = {int(r['a']): int(r['count']) for r in ours('a_count.csv')}
import re
expected = {}
for line in open('data.txt'):
    i, va, vb, wt, s = line.split(None, 4)
    if va not in ('6', '9'):
        expected[int(va)] = expected.get(int(va), 0) + 1
if counts != expected:
    sys.exit(f"unweighted counts {counts}, expected {expected}")
def crosstab(name, index, percents=True):
    grid = tables['a × b'][index]
    columns = [c for c in grid[1][3:] if c]
    pspp, current = {}, None
    for row in grid[2:]:
        if row[0] == 'Total':
            break
        current = row[1].split('[')[0] or current
        if row[2] == 'Count':
            for b, value in zip(columns, row[3:]):
                if float(value) != 0:
                    pspp[(float(current), float(b))] = float(value)
    # PSPP's /MISSING=INCLUDE leaves out system missing values still.
    table = [r for r in ours(name) if r['b']]
    got = {(float(r['a']), float(r['b'])): r for r in table}
    if set(got) != set(pspp):
        sys.exit(f"{name}: cells {sorted(got)}, PSPP {sorted(pspp)}")
    total = sum(pspp.values())
    for key, value in pspp.items():
        r = got[key]
        near(r['weighted'], value, 0.005, f"{name} {key}")
        if not percents:
            continue
        near(r['percent'], 100 * value / total, 1e-5, f"{name} {key} percent")
        row = sum(v for k, v in pspp.items() if k[0] == key[0])
        column = sum(v for k, v in pspp.items() if k[1] == key[1])
        near(r['row_percent'], 100 * value / row, 1e-5, f"{name} {key} row percent")
        near(r['column_percent'], 100 * value / column, 1e-5, f"{name} {key} column percent")
crosstab('ab.csv', 0)
crosstab('ab_in.csv', 1, percents=False)
PY

# --- 2. The demo project -----------------------------------------------------
demo_project "$WORK/demo"
/usr/bin/python3 - "$BIN/qavn-extract" <<'PY' || fail "unweighted counts differ from the category lines"
import csv, io, subprocess, sys
extract = sys.argv[1]
def run(*args):
    return subprocess.run([extract, 'P=DEMO', *args], check=True, capture_output=True).stdout.decode('latin-1')
checked = 0
for variable in ('1', '5', '7', '9', '18'):
    show = run('--show', variable).split('categories:\n', 1)[1]
    lines = [l.split('\t') for l in show.splitlines() if l]
    table = list(csv.reader(io.StringIO(run('--tabulate', variable, '--missing', 'include'), newline='')))
    counts = {}
    for row in table[1:]:
        counts[row[0]] = int(row[2])
    for code, frequency, *_ in lines:
        key = '' if code == '.' else code.strip("'")
        try:
            key = str(int(key))
        except ValueError:
            pass
        if counts.get(key, 0) != int(frequency):
            sys.exit(f"variable {variable} code {code}: codebook {frequency}, table {counts.get(key, 0)}")
        checked += 1
if checked < 10:
    sys.exit(f"only {checked} category lines checked")
PY

# A pair across two data files (the youth file, three lines a case, and the
# parent file), matched by the identifier; the parent file loses its first
# ten cases and lists the rest backwards, and the table equals a join made here.
{ tail -n +11 d/DATA/PARENT97.DAT | tac; } >parent.tmp && mv parent.tmp d/DATA/PARENT97.DAT
extract --tabulate KEY_RACE,P_STY03 --missing include >cross.csv 2>cross.err || fail "a pair across files: $(cat cross.err)"
/usr/bin/python3 - "$BIN/qavn-extract" <<'PY2' || fail "the pair across two data files differs from a join"
import collections, csv, subprocess, sys
def run(*args):
    return subprocess.run([sys.argv[1], 'P=DEMO', *args], check=True, capture_output=True).stdout.decode('latin-1')
numbers = {line.split('\t')[1].split()[0]: line.split('\t')[0] for line in run('--list').splitlines()}
def show(name):
    text = run('--show', numbers[name])
    fields = dict(line.split(': ', 1) for line in text.splitlines() if ': ' in line)
    first, last = fields['location'].split('-')
    return int(fields['recordNumber']), int(first), int(last)
def cases(path, per):
    lines = open(path, encoding='latin-1').read().split('\n')
    return [lines[i:i + per] for i in range(0, len(lines) - per + 1, per) if lines[i]]
def cut(case, where):
    record, first, last = where
    return case[record - 1][first - 1:last].strip()
race, curfew = show('KEY_RACE'), show('P_STY03')
parents = {int(c[0][0:5]): cut(c, curfew) for c in cases('d/DATA/PARENT97.DAT', 1)}
want = collections.Counter()
for c in cases('d/DATA/YOUTH97.DAT', 3):
    want[(cut(c, race), parents.get(int(c[0][0:5]), ''))] += 1
got = {(r['KEY_RACE'], r['P_STY03']): int(r['count']) for r in csv.DictReader(open('cross.csv', newline=''))}
if got != dict(want) or sum(v for (r, p), v in got.items() if p == '') != 10:
    sys.exit(f"table {sorted(got.items())}\njoin {sorted(want.items())}")
PY2
# The school file has no identifier: nothing to match its cases by.
last=$(extract --list | tail -n 1 | cut -f1)
status=0
extract --tabulate "KEY_RACE,$last" >/dev/null 2>noid.err || status=$?
[[ $status -eq 1 ]] && grep -q 'SCHOOL97.DAT.*identifier' noid.err || fail "a file without identifier: exit $status, $(cat noid.err)"

rm d/DATA/SCHOOL97.DAT
status=0
extract --tabulate 1 >/dev/null 2>missing.err || status=$?
[[ $status -eq 0 ]] || fail "a table of the youth file needs the school file: $(cat missing.err)"
# The last variable lies in the school file.
status=0
extract --tabulate "$last" >/dev/null 2>missing.err || status=$?
[[ $status -eq 1 ]] && grep -q 'SCHOOL97.DAT' missing.err || fail "a missing data file: exit $status, $(cat missing.err)"

status=0
extract --tabulate NOSUCHVAR >/dev/null 2>usage.err || status=$?
[[ $status -eq 2 ]] && grep -q 'NOSUCHVAR' usage.err || fail "an unknown variable: exit $status, $(cat usage.err)"
for args in "--weight 1" "--missing exclude" "--tabulate 1,2,3" "--tabulate 1 --missing some"; do
    status=0
    # shellcheck disable=SC2086
    extract $args >/dev/null 2>usage.err || status=$?
    [[ $status -eq 2 ]] || fail "qavn-extract $args: exit $status, $(cat usage.err)"
done
echo ok
