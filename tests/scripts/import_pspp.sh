#!/bin/bash
# qavn-import checked against a real reader: PSPP.
#
# 1. Every example .sav that PSPP installs is imported; every category line of
#    the codebook must hold the frequency that PSPP's FREQUENCIES counts for
#    the same value of the same variable (the system-missing line too).
# 2. A .sav written by PSPP (labels, user-missing values, texts, decimals,
#    blanks) is imported; the SPSS
#    program that qavn-extract writes for the project runs in PSPP (only its
#    data and output paths rewritten) and the cases it reads equal the
#    source's, value for value.
# 3. Refusals: an existing folder without --force, a truncated file, a
#    ragged CSV line; exit status 1 and nothing left behind.
#
# Usage: import_pspp.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_commands pspp
need_tools qavn-import qavn-extract
unset QAVN_DRIVE_C QAVN_DRIVE_D
make_work import
cd "$WORK"

# --- 1. PSPP's examples: frequencies -------------------------------------
EXAMPLES=$(dpkg -L pspp 2>/dev/null | grep '\.sav$' || true)
[ -n "$EXAMPLES" ] || fail "no example .sav files installed with pspp"
checked=0
for sav in $EXAMPLES; do
    name=$(basename "$sav" .sav)
    rm -rf "$WORK/p"
    "$BIN/qavn-import" "$sav" --id EX --out "$WORK/p" >/dev/null 2>"$WORK/import.err" ||
        fail "qavn-import $sav: $(cat "$WORK/import.err")"
    count=$(cd "$WORK/p" && "$BIN/qavn-extract" P=EX --list | wc -l)
    args=()
    for ((n = 1; n <= count; n++)); do args+=(--show "$n"); done
    (cd "$WORK/p" && "$BIN/qavn-extract" P=EX "${args[@]}") >"$WORK/show.txt"
    /usr/bin/python3 "$SRC/tests/scripts/pspp_frequencies.py" "$sav" "$WORK/show.txt" "$WORK/p/EXNAMES.TXT" "$WORK/freq" ||
        fail "$name: frequencies differ"
    checked=$((checked + 1))
done
[ "$checked" -ge 3 ] || fail "only $checked example files checked"

# --- 2. Round trip through the generated SPSS program ----------------------
cat >make.sps <<'SPS'
DATA LIST LIST /id (F4.0) age (F3.0) income (F10.2) name (A12) score (F8.3) longvariablename (F2.0).
BEGIN DATA
1 34 1234.56 "Anne" 1.5 1
2 99 -1 "Bob" -2.125 2
3 . 0.01 "O'Neil, Jr" 1000 1
4 51 99999.99 "" 0 .
5 7 . "Zed" . 2
END DATA.
VARIABLE LABELS age 'Age in years' income 'Yearly income' longvariablename 'A name longer than eight'.
VALUE LABELS age 99 'Refused' /longvariablename 1 'Yes' 2 'No' /name 'Bob' 'The builder'.
MISSING VALUES age (99) income (-1).
SAVE OUTFILE='rt.sav'.
SPS
pspp make.sps >/dev/null || fail "pspp could not write the round-trip file"
for src in rt.sav; do
    rm -rf "$WORK/rt"
    "$BIN/qavn-import" "$src" --id RT --out "$WORK/rt" --id-variable id >/dev/null 2>"$WORK/import.err" ||
        fail "qavn-import $src: $(cat "$WORK/import.err")"
    grep -q "^longvari	longvariablename	" "$WORK/rt/RTNAMES.TXT" || fail "$src: name map lacks the shortened name"
    (cd "$WORK/rt" && "$BIN/qavn-extract" P=RT --tag 1-6 --spss "$WORK/prog.sps") || fail "qavn-extract --spss"
    /usr/bin/python3 - "$WORK/prog.sps" "$WORK/run.sps" "$WORK/rt/d" "$WORK" "$src" <<'PY' || fail "$src: program could not be prepared"
import re, sys
prog, run, drive_d, work, src = sys.argv[1:6]
text = open(prog, 'rb').read().decode('latin-1')
text, n = re.subn(r"'[A-Za-z]:\\([^']*\.DAT)'", lambda m: "'" + drive_d + "/" + m.group(1).replace('\\', '/') + "'", text)
text, k = re.subn(r"'[A-Za-z]:\\[^']*\\(X[0-9]+|XTRACT)'", lambda m: "'" + work + "/" + m.group(1) + ".sav'", text)
text = re.sub(r"/STATS=[^.\r\n]*\.", "/STATISTICS=DEFAULT.", text)
if n == 0:
    sys.exit("no data path to rewrite")
# Both data sets listed with every decimal they hold.
text += ("\nSET TVARS=NAMES TNUMBERS=VALUES.\nGET FILE='" + work + "/X1.sav'.\n"
         "FORMATS id age income score longvari (F20.6).\nLIST id age income name score longvari.\n"
         "GET FILE='" + work + "/" + src + "'.\nRENAME VARIABLES (longvariablename=longvari).\n"
         "FORMATS id age income score longvari (F20.6).\nLIST id age income name score longvari.\n")
open(run, 'wb').write(text.encode('latin-1'))
PY
    (cd "$WORK" && pspp -O format=csv run.sps -o "$WORK/run.csv") >"$WORK/pspp.log" 2>&1 ||
        { head -20 "$WORK/pspp.log" >&2; fail "$src: PSPP rejected the generated program"; }
    if grep -qiE "error:" "$WORK/pspp.log" "$WORK/run.csv"; then
        grep -iE "error:" "$WORK/pspp.log" "$WORK/run.csv" | head >&2
        fail "$src: PSPP reported errors"
    fi
    /usr/bin/python3 - "$WORK/run.csv" "$src" <<'PY' || fail "$src: values read back differ"
import sys
tables, cur = [], None
for line in open(sys.argv[1], encoding='utf-8').read().split('\n') + ['']:
    if line.startswith('Table: Data List'):
        cur = []
    elif line == '':
        if cur is not None:
            tables.append(cur)
        cur = None
    elif cur is not None:
        cur.append(line)
if len(tables) < 2:
    sys.exit("PSPP listed %d data sets" % len(tables))
read_back, source = tables[-2], tables[-1]
# The identifier reads back as ID, the name the programs give it.
read_back[0], source[0] = read_back[0].lower(), source[0].lower()
if read_back != source:
    sys.exit("read back:\n  " + "\n  ".join(read_back) + "\nsource:\n  " + "\n  ".join(source))
print(f"{sys.argv[2]}: {len(source) - 1} cases read back equal")
PY
done

# --- 3. Refusals ------------------------------------------------------------
status=0
"$BIN/qavn-import" rt.sav --id RT --out "$WORK/rt" >/dev/null 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "exists; --force" "$WORK/err" || fail "an existing folder was not refused ($status)"
"$BIN/qavn-import" rt.sav --id RT --out "$WORK/rt" --force >/dev/null 2>&1 || fail "--force did not replace"
head -c 600 rt.sav >cut.sav
status=0
"$BIN/qavn-import" cut.sav --id CUT --out "$WORK/cut" >/dev/null 2>"$WORK/err" || status=$?
[ "$status" -eq 1 ] && grep -q "cut.sav" "$WORK/err" || fail "a truncated file was not refused ($status): $(cat "$WORK/err")"
printf 'a,b\n1,2\n3\n' >ragged.csv
status=0
"$BIN/qavn-import" ragged.csv --id RG --out "$WORK/rg" >/dev/null 2>"$WORK/err" || status=$?
grep -q "ragged.csv: line 3: 1 fields, the header has 2" "$WORK/err" && [ "$status" -eq 1 ] ||
    fail "a ragged line was not refused ($status): $(cat "$WORK/err")"
[ ! -e "$WORK/cut" ] && [ ! -e "$WORK/rg" ] || fail "a refused import left its folder"
[ -z "$(ls -A "$WORK" | grep '^\.' || true)" ] || fail "temporary folders left behind"
status=0
"$BIN/qavn-import" rt.sav --out "$WORK/x" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "a usage error exits $status, not 2"
echo "PASS"
