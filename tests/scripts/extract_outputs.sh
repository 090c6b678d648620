#!/bin/bash
# qavn-extract's file outputs on the demo project: the empty selection is
# refused, file names follow the naming rule, several outputs come from one
# call, the label choice reaches the programs, a tag file written by the
# tool selects the same variables when it is read back, and --write FORMAT
# PATH writes what each format's own option writes.
#
# Usage: extract_outputs.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
make_work outputs
demo_project "$WORK/project"
OUT="$PROJECT/c/QAVN/OUT"

# Nothing tagged: the message, status 1 and no file, also for the export.
for outputs in "--sas $WORK/none.sas" "--access"; do
    status=0
    # shellcheck disable=SC2086
    extract $outputs 2>"$WORK/err.txt" || status=$?
    [ "$status" -eq 1 ] || fail "empty selection with $outputs gave status $status"
    [ "$(cat "$WORK/err.txt")" = $'No Tagged Item !\nPlease Tag Items First.' ] ||
        fail "empty selection message: $(cat "$WORK/err.txt")"
done
[ ! -e "$WORK/none.sas" ] || fail "a file was written for an empty selection"

# Several outputs in one call, named by DOS paths without extension.
extract --tag 1-40 --sas 'C:\QAVN\OUT\RESULT' --spss 'C:\QAVN\OUT\RESULT' --spss-dos "$WORK/dos.prg" \
    --codebook 'C:\QAVN\OUT\BOOK' --tag-file 'C:\QAVN\OUT\SEL' || fail "writing five outputs failed"
for f in RESULT.SAS RESULT.SPS BOOK.TXT SEL.TAG; do
    [ -s "$OUT/$f" ] || fail "$f was not written"
done
[ -s "$WORK/dos.prg" ] || fail "a name with an extension was changed"
tail -c 4 "$OUT/RESULT.SAS" | grep -qx 'RUN;' || fail "the SAS program does not end in RUN; without line end"
tail -c 9 "$WORK/dos.prg" | od -c | grep -q 'F   I   N   I   S   H   .  \\r  \\n' ||
    fail "the DOS command file does not end in FINISH. CR LF"
[ "$(grep -c $'\r$' "$OUT/SEL.TAG")" -eq 40 ] || fail "the tag file lines do not end in CR LF"
grep -q "^DEMO eXtract Codebook" "$OUT/BOOK.TXT" || fail "codebook text header"

# The label choice: categorical labels no numeric variable, all labels more.
extract --tag 1-40 --labels categorical --sas "$WORK/cat.sas"
extract --tag 1-40 --labels all --sas "$WORK/all.sas"
[ "$(grep -c ' VALUE ' "$WORK/cat.sas")" -lt "$(grep -c ' VALUE ' "$WORK/all.sas")" ] ||
    fail "--labels categorical did not narrow the value labels"

# The tag file selects the same variables again.
extract --tag 1-40 --list-tagged >"$WORK/tagged.txt"
extract --tags 'C:\QAVN\OUT\SEL.TAG' --list-tagged >"$WORK/reread.txt"
cmp -s "$WORK/tagged.txt" "$WORK/reread.txt" || fail "the tag file did not select the same variables"

# An output that cannot be opened fails with its message.
status=0
extract --tag 1 --codebook "$WORK/missing/dir/x" 2>"$WORK/err.txt" || status=$?
[ "$status" -eq 1 ] || fail "unopenable output gave status $status"
grep -qx "Cannot Open $WORK/missing/dir/x.TXT" "$WORK/err.txt" || fail "open failure message: $(cat "$WORK/err.txt")"

# --write FORMAT PATH for every format --help lists: the same bytes as the
# format's own option (--NAME FILE, or --access with --output-dir for a
# format of several files).
formats=$("$BIN/qavn-extract" --help | sed -n '/^Formats:/,/^$/p' | awk 'NF > 1 && $1 != "Formats:" {print $1}')
[ -n "$formats" ] || fail "--help lists no formats"
onefile=$("$BIN/qavn-extract" --help | grep -- '--sas FILE')
# (grep -q would stop reading early, and under pipefail that fails the pipe.)
help=$("$BIN/qavn-extract" --help)
for format in $formats; do
    if [[ " $onefile " == *" --$format FILE "* ]]; then
        extract --tag 1-40,300 --write "$format" "$WORK/write.$format" --"$format" "$WORK/named.$format" ||
            fail "--write $format failed"
        [ -s "$WORK/write.$format" ] || fail "--write $format wrote nothing"
        if [ "$format" = ddi ]; then
            # The document names the extract beside it, which is named after the document.
            sed 's/write\.dat/named.dat/' "$WORK/write.ddi" | cmp -s - "$WORK/named.ddi" &&
                cmp -s "$WORK/write.dat" "$WORK/named.dat" || fail "--write ddi differs from --ddi"
        elif [ "$format" = xlsx ]; then
            # The workbook's parts but the time it was made.
            /usr/bin/python3 - "$WORK/write.$format" "$WORK/named.$format" <<'PY' || fail "--write xlsx differs from --xlsx"
import sys, zipfile
a, b = (zipfile.ZipFile(p) for p in sys.argv[1:3])
parts = lambda z: {n: z.read(n) for n in z.namelist() if n != "docProps/core.xml"}
sys.exit(0 if parts(a) == parts(b) else 1)
PY
        else
            cmp -s "$WORK/write.$format" "$WORK/named.$format" || fail "--write $format differs from --$format"
        fi
    elif [[ "$help" == *" --$format DIR "* ]]; then
        # A folder format: --write FORMAT DIR and --FORMAT DIR give the same folder.
        extract --tag 1-40,300 --write "$format" "$WORK/write-$format" >/dev/null || fail "--write $format failed"
        extract --tag 1-40,300 --"$format" "$WORK/named-$format" >/dev/null || fail "--$format failed"
        diff -r "$WORK/write-$format" "$WORK/named-$format" >/dev/null || fail "--write $format differs from --$format"
    else
        mkdir -p "$WORK/write-$format" "$WORK/named-$format"
        extract --tag 1-40,300 --write "$format" "$WORK/write-$format" >"$WORK/write.txt" ||
            fail "--write $format failed"
        extract --tag 1-40,300 --"$format" --output-dir "$WORK/named-$format" >"$WORK/named.txt" ||
            fail "--$format failed"
        [ -s "$WORK/write.txt" ] || fail "--write $format listed no files"
        diff -r "$WORK/write-$format" "$WORK/named-$format" >/dev/null || fail "--write $format differs from --$format"
        [ "$(sed "s|$WORK/write-$format|DIR|" "$WORK/write.txt")" = "$(sed "s|$WORK/named-$format|DIR|" "$WORK/named.txt")" ] ||
            fail "--write $format listed other files"
    fi
done

# An unknown format is a usage error that names the known ones.
status=0
extract --tag 1 --write mdb "$WORK/x.mdb" 2>"$WORK/err.txt" || status=$?
[ "$status" -eq 2 ] || fail "unknown format gave status $status"
head -n 1 "$WORK/err.txt" | grep -qx "qavn-extract: unknown output format mdb (formats: $(echo $formats | sed 's/ /, /g'))" ||
    fail "unknown format message: $(head -n 1 "$WORK/err.txt")"

# Two outputs of one call never share a file: refused before either is written.
status=0
extract --tag 1 --sas "$WORK/same.txt" --write codebook "$WORK/./same.txt" 2>"$WORK/err.txt" || status=$?
[ "$status" -eq 2 ] || fail "two outputs into one file gave status $status"
grep -q "name the same file" "$WORK/err.txt" || fail "same-file message: $(cat "$WORK/err.txt")"
[ ! -e "$WORK/same.txt" ] || fail "a file was written although two outputs shared its name"

# A folder typed with --output-dir is used exactly as given: another folder
# whose name differs only in letter case is not written into.
mkdir "$WORK/Typed"
status=0
extract --tag 1-20 --access --output-dir "$WORK/typed" >/dev/null 2>"$WORK/err.txt" || status=$?
[ "$status" -ne 0 ] || fail "--output-dir wrote into a folder of another letter case"
[ -z "$(ls "$WORK/Typed")" ] || fail "files appeared in $WORK/Typed: $(ls "$WORK/Typed")"

echo PASS
