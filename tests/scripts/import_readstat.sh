#!/bin/bash
# qavn-import round trips through files written by ReadStat's own writer.
#
# For a .sav (value labels, user-missing numbers and texts), a .dta (value
# labels, extended missing .a/.b with a label) and an .xpt (special missing
# .A/.B), each with texts and decimals: the file is imported, the SPSS program
# qavn-extract writes for the project runs in PSPP (only its paths
# rewritten), and every value PSPP reads back must equal what was written
# (extended missing values read as system missing). For the .sav, PSPP's own
# FREQUENCIES of the source must equal every category line of the codebook;
# for the .dta, the labels Stata keeps after the data must reach the codebook.
#
# Usage: import_readstat.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp
need_tools qavn-import qavn-extract readstat_write
unset QAVN_DRIVE_C QAVN_DRIVE_D
make_work readstat
cd "$WORK"

for kind in sav dta xpt; do
    src="rt.$kind"
    "$BIN/readstat_write" "$kind" "$src" "$kind.expected" || fail "$kind: ReadStat could not write $src"
    rm -rf "$WORK/p"
    "$BIN/qavn-import" "$src" --id RT --out "$WORK/p" --id-variable id >/dev/null 2>"$WORK/import.err" ||
        fail "qavn-import $src: $(cat "$WORK/import.err")"
    (cd "$WORK/p" && "$BIN/qavn-extract" P=RT --tag 1-6 --write spss "$WORK/prog.sps") ||
        fail "$src: qavn-extract --write spss"
    /usr/bin/python3 - "$WORK/prog.sps" "$WORK/run.sps" "$WORK/p/d" "$WORK" <<'PY' || fail "$src: program could not be prepared"
import re, sys
prog, run, drive_d, work = sys.argv[1:5]
text = open(prog, 'rb').read().decode('latin-1')
text, n = re.subn(r"'[A-Za-z]:\\([^']*\.DAT)'", lambda m: "'" + drive_d + "/" + m.group(1).replace('\\', '/') + "'", text)
text = re.sub(r"'[A-Za-z]:\\[^']*\\(X[0-9]+|XTRACT)'", lambda m: "'" + work + "/" + m.group(1) + ".sav'", text)
text = re.sub(r"/STATS=[^.\r\n]*\.", "/STATISTICS=DEFAULT.", text)
if n == 0:
    sys.exit("no data path to rewrite")
text += ("\nSET TVARS=NAMES TNUMBERS=VALUES.\nGET FILE='" + work + "/X1.sav'.\n"
         "FORMATS id_1 age income score grp (F20.6).\nLIST id_1 age income name score grp.\n")
open(run, 'wb').write(text.encode('latin-1'))
PY
    pspp -O format=csv run.sps -o "$WORK/run.csv" >"$WORK/pspp.log" 2>&1 ||
        { head -20 "$WORK/pspp.log" >&2; fail "$src: PSPP rejected the generated program"; }
    if grep -qiE "error:" "$WORK/pspp.log" "$WORK/run.csv"; then
        grep -iE "error:" "$WORK/pspp.log" "$WORK/run.csv" | head >&2
        fail "$src: PSPP reported errors"
    fi
    /usr/bin/python3 - "$WORK/run.csv" "$kind.expected" "$src" <<'PY' || fail "$src: values read back differ"
import csv, io, sys
listed, cur = None, None
for line in open(sys.argv[1], encoding='utf-8').read().split('\n') + ['']:
    if line.startswith('Table: Data List'):
        cur = []
    elif line == '':
        if cur is not None:
            listed = cur
        cur = None
    elif cur is not None:
        cur.append(next(csv.reader(io.StringIO(line))))
expected = [line.rstrip('\n').split('\t') for line in open(sys.argv[2], encoding='utf-8')]
if listed is None or len(listed) - 1 != len(expected):
    sys.exit(f"PSPP listed {0 if listed is None else len(listed) - 1} cases, {len(expected)} written")
for case, (got, want) in enumerate(zip(listed[1:], expected), 1):
    for column, (g, w) in enumerate(zip(got, want)):
        g = g.strip()
        if column == 3:
            same = g == w.rstrip()
        elif w == '.' or g == '.':
            same = g == w
        else:
            same = abs(float(g) - float(w)) <= 1e-6 * max(1.0, abs(float(w)))
        if not same:
            sys.exit(f"case {case}, {listed[0][column]}: read back '{g}', written '{w}'")
print(f"{sys.argv[3]}: {len(expected)} cases read back equal")
PY
    count=$(cd "$WORK/p" && "$BIN/qavn-extract" P=RT --list | wc -l)
    args=()
    for ((n = 1; n <= count; n++)); do args+=(--show "$n"); done
    (cd "$WORK/p" && "$BIN/qavn-extract" P=RT "${args[@]}") >"$WORK/show.txt"
    case $kind in
    sav)
        /usr/bin/python3 "$SRC/tests/scripts/pspp_frequencies.py" "$src" "$WORK/show.txt" "$WORK/p/RTNAMES.TXT" \
            "$WORK/freq" || fail "$src: frequencies differ from PSPP's"
        grep -q "^'none'	1	12.5	{Missing}" "$WORK/show.txt" || fail "$src: the missing text is not marked"
        grep -q "^'Bob'	2	25.0	The builder" "$WORK/show.txt" || fail "$src: the text's label is lost"
        ;;
    dta)
        grep -q "^99	1	12.5	Refused" "$WORK/show.txt" || fail "$src: the value label is lost"
        grep -q "^.a	1	12.5	Not asked" "$WORK/show.txt" || fail "$src: the label of .a is lost"
        grep -q "^.b	1	12.5	{Missing .b}" "$WORK/show.txt" || fail "$src: .b is not counted"
        ;;
    xpt)
        grep -q "^.A	1	12.5	{Missing .A}" "$WORK/show.txt" || fail "$src: .A is not counted"
        ;;
    esac
done
echo "PASS"
