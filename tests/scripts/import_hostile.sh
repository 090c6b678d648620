#!/bin/bash
# qavn-import with documents and options that would do harm.
#
# 1. A DDI document naming its data file by an absolute path, with "..", or
#    through a link out of its folder: refused, and the file elsewhere is not
#    read; named after the colon, the link's file is read.
# 2. Entity expansion in an attribute, a deep document, an element with many
#    attributes, a 16 MB label, a column past any record, and a one-line gzip
#    bomb as data: each refused with the file and line within 10 s and 256 MB.
# 3. --out on a source, on the folder holding it (also by another name), or
#    on an imported project holding a source, with --force: refused, the
#    source intact.
# 4. A title with line ends leaves the project specification file its four lines.
# 5. The folders of a killed import are cleared by the next one without
#    losing the user's files; a new project folder follows the umask.
#
# Usage: import_hostile.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-import
need_commands /usr/bin/time gzip
unset QAVN_DRIVE_C QAVN_DRIVE_D
umask 022
make_work hostile
cd "$WORK"

# A codebook of one data file; $1 its fileName, $2 the variables' extra markup.
ddi() {
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<codeBook xmlns="ddi:codebook:2_5" version="2.5">
  <stdyDscr><citation><titlStmt><titl>${3:-Survey}</titl></titlStmt></citation></stdyDscr>
  <fileDscr ID="F1"><fileTxt><fileName>$1</fileName></fileTxt></fileDscr>
  <dataDscr>
    <var ID="V1" name="region" files="F1"><location StartPos="1" width="1"/><labl>Region</labl></var>
    <var ID="V2" name="age" files="F1"><location StartPos="2" width="2"/>${2:-}</var>
  </dataDscr>
</codeBook>
XML
}

# $1 source, $2 expected message part: exit status 1 with the message, no
# project, within 10 s and 256 MB.
refused() {
    local status=0 seconds kb
    rm -rf "$WORK/r"
    /usr/bin/time -f '%e %M' -o "$WORK/time" timeout 10 "$BIN/qavn-import" "$1" --id RF --out "$WORK/r" \
        >/dev/null 2>"$WORK/err" || status=$?
    read -r seconds kb < <(tail -n 1 "$WORK/time")
    [ "$status" -ne 124 ] || fail "$1 ran for more than 10 s"
    [ "$status" -eq 1 ] && grep -qF -- "$2" "$WORK/err" || fail "$1 was not refused with '$2' ($status): $(cat "$WORK/err")"
    [ "$kb" -lt 262144 ] || fail "$1 took $kb KB"
    [ ! -e "$WORK/r" ] || fail "$1: a refused import left its folder"
    echo "$1: refused in ${seconds}s and $((kb / 1024)) MB"
}

# --- 1. Data files elsewhere --------------------------------------------------
mkdir secret doc
printf '%s\n' 112 245 >secret/data.dat
ddi "$WORK/secret/data.dat" >doc/absolute.xml
refused doc/absolute.xml "absolute.xml: line 4: the data file data.dat (named \"$WORK/secret/data.dat\") is not beside"
ddi "../secret/data.dat" >doc/up.xml
refused doc/up.xml "up.xml: line 4: the data file data.dat (named \"../secret/data.dat\") is not beside"
ln -s "$WORK/secret/data.dat" doc/link.dat
ddi link.dat >doc/link.xml
refused doc/link.xml "the data file doc/link.dat is a link to $WORK/secret/data.dat, outside the folder of link.xml"
"$BIN/qavn-import" doc/link.xml:doc/link.dat --id LN --out "$WORK/ln" >/dev/null 2>"$WORK/err" ||
    fail "a link named after the colon: $(cat "$WORK/err")"

# --- 2. Bounds ------------------------------------------------------------------
/usr/bin/python3 - <<'PY'
import gzip, zlib
def doc(body, head='<?xml version="1.0"?>\n', name='data.dat'):
    return (head + '<codeBook xmlns="ddi:codebook:2_5" version="2.5">\n'
            f'<fileDscr ID="F1"><fileTxt><fileName>{name}</fileName></fileTxt></fileDscr>\n'
            '<dataDscr>\n' + body + '\n</dataDscr>\n</codeBook>\n')
var = '<var ID="V1" name="a" files="F1"><location StartPos="1" width="2"/>{}</var>'
laughs = '<!ENTITY a0 "xxxxxxxxxx">\n' + ''.join(
    f'<!ENTITY a{i} "{("&a%d;" % (i - 1)) * 10}">\n' for i in range(1, 10))
open('entities.xml', 'w').write(doc(var.format('<labl alt="&a9;"/>'),
                                    head=f'<?xml version="1.0"?>\n<!DOCTYPE codeBook [\n{laughs}]>\n'))
open('deep.xml', 'w').write(doc(var.format('<x>' * 100000 + '</x>' * 100000)))
open('attributes.xml', 'w').write(doc(var.format('<labl ' + ' '.join(f'a{i}=""' for i in range(200000)) + '/>')))
open('label.xml', 'w').write(doc(var.format('<labl>' + 'y' * 16_000_000 + '</labl>')))
open('column.xml', 'w').write(doc(var.replace('StartPos="1" width="2"', 'StartPos="9223372036854775807" width="2"')))
# One line of 300 MB in a few hundred KB of gzip, after a good line.
open('bomb.xml', 'w').write(doc(var.format(''), name='bomb.dat'))
with open('bomb.dat.gz', 'wb') as out:
    z = zlib.compressobj(9, zlib.DEFLATED, 31)
    out.write(z.compress(b'12\n'))
    block = b'x' * (1 << 20)
    for _ in range(300):
        out.write(z.compress(block))
    out.write(z.compress(b'\n') + z.flush())
PY
printf '%s\n' 12 34 >data.dat
refused entities.xml "entities.xml: line 3: the document declares the entity a0"
refused deep.xml "deep.xml: line 5: elements nested more than 100 deep"
refused attributes.xml "attributes.xml: line 5: an element with more than 256 attributes"
refused label.xml "label.xml: line 5: <labl> holds more than 1 MB of text"
refused column.xml "column.xml: line 5: a: the location StartPos=9223372036854775807 EndPos= width=2 runs past column 1000000"
refused bomb.xml "bomb.dat.gz: line 2: more than 65538 characters"

# --- 3. --out on a source -------------------------------------------------------
mkdir src
printf 'id,score\n1,5\n2,7\n' >src/people.csv
cp src/people.csv kept.csv
out_refused() { # $1 source, $2 --out, $3 expected message part
    local status=0
    "$BIN/qavn-import" "$1" --id PPL --out "$2" --force >/dev/null 2>"$WORK/err" || status=$?
    [ "$status" -eq 1 ] && grep -qF -- "$3" "$WORK/err" || fail "--out $2 was not refused with '$3' ($status): $(cat "$WORK/err")"
    cmp -s "$1" kept.csv || fail "--out $2 changed the source $1"
}
out_refused src/people.csv src/people.csv "src/people.csv: the source itself is named by --out src/people.csv"
out_refused src/people.csv src "src holds the source src/people.csv"
ln -s src alias
out_refused src/people.csv alias/ "alias holds the source src/people.csv"
"$BIN/qavn-import" src/people.csv --id PPL --out proj >/dev/null || fail "import into proj"
cp src/people.csv proj/c/QAVN/OUT/people.csv
out_refused proj/c/QAVN/OUT/people.csv proj "proj holds the source proj/c/QAVN/OUT/people.csv"
[ -f src/people.csv ] && [ -f proj/PPLQAV.CFG ] || fail "a refused --out lost files"
rm proj/c/QAVN/OUT/people.csv

# --- 4. The title stays one line ------------------------------------------------
printf '%s\n' 112 245 >doc/data.dat
ddi data.dat "" 'Evil&#13;&#10;x=1;&#10;ENDSAS;' >doc/title.xml
"$BIN/qavn-import" doc/title.xml --id TTL --out "$WORK/ttl" >/dev/null 2>"$WORK/err" || fail "title.xml: $(cat "$WORK/err")"
spec="$WORK/ttl/c/QAVN/TTL/QAVSPEC.TTL"
[ "$(wc -l <"$spec")" -eq 4 ] && [ "$(head -n 1 "$spec")" = $'Evil x=1; ENDSAS;\r' ] ||
    fail "the title reached other lines of the project specification file: $(cat -A "$spec")"

# --- 5. A killed import's folders ------------------------------------------------
sh -c 'exit 0' &
dead=$!
wait "$dead"
# Killed while building; killed once the project was moved aside (the new
# one takes its place); killed while the user's files moved into the new
# project (they go back).
mkdir ".half.import-$dead-abcdef" && echo partial >".half.import-$dead-abcdef/x"
cp -a proj ".gone.import-$dead-abcdef" && cp -a proj ".gone.import-$dead-abcdef.old"
echo mine >proj/notes.txt
cp -a proj ".proj.import-$dead-abcdef" && mv proj/notes.txt ".proj.import-$dead-abcdef/"
"$BIN/qavn-import" src/people.csv --id NEW --out fresh >/dev/null || fail "the import after a killed one"
[ "$(cat proj/notes.txt 2>/dev/null)" = mine ] || fail "the user's file did not come back"
[ -f gone/PPLQAV.CFG ] || fail "the killed import's complete project is not in place"
[ "$(stat -c %a fresh)" = 755 ] || fail "fresh has mode $(stat -c %a fresh) under umask $(umask)"
(umask 027 && "$BIN/qavn-import" src/people.csv --id GRP --out group >/dev/null) || fail "the import under umask 027"
[ "$(stat -c %a group)" = 750 ] || fail "group has mode $(stat -c %a group) under umask 027"
left=$(ls -A | grep '^\.' || true)
[ -z "$left" ] || fail "folders of the killed import left: $left"
echo "PASS"
