#!/usr/bin/env bash
# The Access data export read back by a real database: projects are made with
# qavn-mkproject (the bundled demo when present, and a small fixture with
# quotes, commas, short fields and a case of three lines), every
# variable is exported with `qavn-extract --access`, every part file is
# loaded into SQLite with `.import --csv`, and each row and value is compared
# with what the raw data hold at the variable's columns, computed here from
# the raw files and the locations alone.
#
# As loaded by a CSV reader every field keeps the blank the export puts before
# each value, alphanumeric values keep their double quotes (a field that does
# not start with a quote is not a quoted field), and the last field of a row
# and the last header name keep the blank that replaces the final comma. The
# comparison expects exactly that.
#
# Usage: access_sqlite.sh BIN_DIR SOURCE_DIR
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-mkproject qavn-extract
need_commands sqlite3
make_work access
count_failures
US=$'\x1f'

cat > "$WORK/fixture.json" <<'EOF'
{
  "id": "ACC",
  "title": "ACCESS EXPORT CHECK",
  "prefix": "ACC",
  "cases": 57,
  "seed": 7,
  "dataFiles": [
    {"dataPath": "SURVEY\\WAVE1.DAT", "linesPerCase": 3, "idLocation": "1-4"},
    {"dataPath": "SURVEY\\FLAT.DAT", "linesPerCase": 1, "idLocation": "0"}
  ],
  "variables": [
    {"name": "NAME", "file": 1, "record": 1, "location": "6-25", "type": "A", "label": "A name",
     "section": "S", "values": {"list": ["O'NEIL, JR", "SMITH", "\"QUOTED\"", "A,B,C", "  LEADING"], "weight": 1}},
    {"name": "MID", "file": 1, "record": 2, "location": "6-7", "type": " ", "label": "On line 2",
     "section": "S", "range": {"min": 1, "max": 99}},
    {"name": "LATE", "file": 1, "record": 3, "location": "6-9", "type": " ", "label": "On line 3",
     "section": "S", "range": {"min": 0, "max": 9999}},
    {"name": "CODE", "file": 1, "record": 3, "location": "12", "type": "A", "label": "One column",
     "section": "S", "categories": [{"code": "'Y'", "label": "Yes"}, {"code": "'N'", "label": "No"}]},
    {"name": "SMALL", "file": 2, "record": 1, "location": "1-3", "type": " ", "label": "Three wide",
     "section": "T", "range": {"min": 1, "max": 9}},
    {"name": "WIDE", "file": 2, "record": 1, "location": "4-9", "type": " ", "label": "Six wide",
     "section": "T", "range": {"min": 1, "max": 99}}
  ]
}
EOF

# The variables of a project, one per line: number, name, file, line, first
# column, last column, type code; read back through the batch tool.
variables() {
    local id=$1 count=$2
    local args=()
    for ((i = 1; i <= count; i++)); do args+=(--show "$i"); done
    "$BIN/qavn-extract" "P=$id" "${args[@]}" | awk '
        /^name: / { n++; name = substr($0, 7); seen = 0; next }
        seen < 4 && /^fileNumber: /   { file = substr($0, 13); seen++; next }
        seen < 4 && /^recordNumber: / { line = substr($0, 15); seen++; next }
        seen < 4 && /^location: /     { loc = substr($0, 11); seen++; next }
        seen < 4 && /^typeCode: /     {
            type = substr($0, 11, 1); if (type == "") type = " "; seen++
            dash = index(loc, "-")
            first = dash ? substr(loc, 1, dash - 1) + 0 : loc + 0
            last = dash ? substr(loc, dash + 1) + 0 : first
            printf "%d\t%s\t%d\t%d\t%d\t%d\t%s\n", n, name, file, line, first, last, type
        }'
}

# Expected rows of every part of one data file from its raw data: files
# <prefix><part>.rows (fields joined by US) and <prefix><part>.names.
expect_file() {
    local columns=$1 raw=$2 perCase=$3 prefix=$4
    awk -v perCase="$perCase" -v prefix="$prefix" -v US="$US" '
        BEGIN { FS = "\t" }
        FNR == NR {
            c++; part[c] = $1; name[c] = $2; line[c] = $3; first[c] = $4; last[c] = $5; type[c] = $6; isId[c] = $7
            repeats[c] = isId[c] && c > 1
            if (!repeats[c] && line[c] > needed) needed = line[c]
            if ($1 > parts) parts = $1
            next
        }
        FNR == 1 {
            for (k = 1; k <= c; k++) names[part[k]] = names[part[k]] (names[part[k]] == "" ? "" : "\n") name[k]
            for (p = 0; p <= parts; p++) print names[p] " " > (prefix p ".names")
            if (needed > perCase) { print "fixture has a variable beyond linesPerCase" > "/dev/stderr"; exit 1 }
        }
        { held++; text[held] = $0 "\n" }
        held == perCase { emit(); held = 0 }
        END { if (held >= needed && held > 0) emit() }
        function emit(   k, v, width, row, p) {
            for (p = 0; p <= parts; p++) row[p] = ""
            id = ""
            for (k = 1; k <= c; k++) {
                if (repeats[k]) v = id
                else {
                    width = last[k] - first[k] + 1; if (width < 1) width = 1
                    if (length(text[line[k]]) < first[k] + width - 1) v = " "
                    else v = substr(text[line[k]], first[k], width)
                    if (isId[k]) id = v
                }
                if (length(v) > 3) sub(/[ \t\r\n\v\f]+$/, "", v)
                if (type[k] == "A") { gsub(/[,\047"]/, " ", v); v = "\"" v "\"" }
                row[part[k]] = row[part[k]] (row[part[k]] == "" ? "" : US) " " v
            }
            for (p = 0; p <= parts; p++) print row[p] " " > (prefix p ".rows")
        }' "$columns" "$raw"
}

check_project() {
    local json=$1 id=$2
    local proj="$WORK/$id" out="$WORK/$id-out"
    "$BIN/qavn-mkproject" "$json" --out "$proj" >/dev/null || { fail "$id: qavn-mkproject cannot make the project"; return; }
    mkdir -p "$out"
    (
        cd "$proj"
        export QAVN_DRIVE_C="$proj/c" QAVN_DRIVE_D="$proj/d"
        count=$("$BIN/qavn-extract" "P=$id" --list | wc -l)
        variables "$id" "$count" > "$WORK/$id.vars"
        "$BIN/qavn-extract" "P=$id" --tag "1-$count" --access --output-dir "$out" > "$WORK/$id.files"
    ) || { fail "$id: the export failed"; return; }

    local spec
    spec=$(find "$proj/c" -name "QAVSPEC.$id" | head -1)
    local fileCount
    fileCount=$(sed -n 3p "$spec" | tr -d '\r' | awk '{ print $1 + 0 }')
    : > "$WORK/$id.expected-files"
    local db="$WORK/$id.db" rows=0
    for ((f = 1; f <= fileCount; f++)); do
        local perCase idLocation dataPath
        read -r perCase idLocation dataPath < <(sed -n "$((3 + f))p" "$spec" | tr -d '\r')
        local raw="$proj/d/${dataPath//\\//}"
        # Columns in output order: the identifier opens every part of 255.
        awk -F'\t' -v f="$f" -v idLocation="$idLocation" '
            BEGIN {
                hasId = substr(idLocation, 1, 1) != "0"
                dash = index(idLocation, "-")
                idFirst = dash ? substr(idLocation, 1, dash - 1) + 0 : idLocation + 0
                idLast = dash ? substr(idLocation, dash + 1) + 0 : idFirst
            }
            $3 == f {
                if (k % 255 == 0 && hasId) { printf "%d\tID\t1\t%d\t%d\t \t1\n", int(k / 255), idFirst, idLast; k++ }
                printf "%d\t%s\t%d\t%d\t%d\t%s\t%d\n", int(k / 255), $2, $4, $5, $6, $7, $2 == "ID"; k++
            }' "$WORK/$id.vars" > "$WORK/$id.$f.columns"
        [[ -s "$WORK/$id.$f.columns" ]] || continue
        local parts
        parts=$(( $(tail -1 "$WORK/$id.$f.columns" | cut -f1) + 1 ))
        expect_file "$WORK/$id.$f.columns" "$raw" "$perCase" "$WORK/$id.$f.part"

        local base=${dataPath%%.*}
        base=${base//\\/_}
        base=${base//\//_}
        for ((p = 0; p < parts; p++)); do
            local suffix=""
            ((parts > 1)) && suffix=$(printf "\\$(printf %03o $((97 + p)))")
            local file="$out/$base$suffix.txt" table="t${f}_$p"
            echo "$file" >> "$WORK/$id.expected-files"
            [[ -f "$file" ]] || { fail "$id: $file was not written"; continue; }
            sqlite3 -batch "$db" ".import --csv '$file' $table" || { fail "$id: SQLite cannot import $file"; continue; }
            sqlite3 -batch -noheader "$db" "SELECT name FROM pragma_table_info('$table') ORDER BY cid" \
                > "$WORK/got.names"
            cmp -s "$WORK/got.names" "$WORK/$id.$f.part$p.names" \
                || { fail "$id: column names of $file"; diff "$WORK/$id.$f.part$p.names" "$WORK/got.names" | head -5; }
            sqlite3 -batch -noheader -list -separator "$US" "$db" "SELECT * FROM $table ORDER BY rowid" \
                > "$WORK/got.rows"
            if ! cmp -s "$WORK/got.rows" "$WORK/$id.$f.part$p.rows"; then
                fail "$id: rows of $file differ from the raw data"
                diff "$WORK/$id.$f.part$p.rows" "$WORK/got.rows" | head -6 | tr "$US" '|'
            fi
            local n
            n=$(sqlite3 -batch -noheader "$db" "SELECT count(*) FROM $table")
            ((n > 0)) || fail "$id: $file holds no rows"
            rows=$((rows + n))
        done
    done
    cmp -s "$WORK/$id.files" "$WORK/$id.expected-files" \
        || { fail "$id: the printed file list"; diff "$WORK/$id.expected-files" "$WORK/$id.files"; }
    echo "$id: $(wc -l < "$WORK/$id.files") files, $rows rows checked"
}

check_project "$WORK/fixture.json" ACC
# A value the fixture must have produced: blanked punctuation inside quotes.
grep -q '" O NEIL  JR"\|"O NEIL  JR"' "$WORK/ACC-out/SURVEY_WAVE1.txt" || fail "ACC: no O'NEIL, JR value"
# Exit statuses: nothing tagged (the message once), an output directory that
# does not exist (the part file cannot be created).
(
    cd "$WORK/ACC"
    export QAVN_DRIVE_C="$WORK/ACC/c" QAVN_DRIVE_D="$WORK/ACC/d"
    if "$BIN/qavn-extract" P=ACC --access --output-dir "$WORK/ACC-out" > /dev/null 2> "$WORK/untagged.err"; then
        echo "FAIL: ACC: an export with nothing tagged succeeded"; exit 1
    fi
    [[ $(grep -c 'No Tagged Item !' "$WORK/untagged.err") == 1 ]] \
        || { echo "FAIL: ACC: 'No Tagged Item !' not shown exactly once"; cat "$WORK/untagged.err"; exit 1; }
    if "$BIN/qavn-extract" P=ACC --tag 1 --access --output-dir "$WORK/missing" > "$WORK/missing.out" 2> "$WORK/missing.err"; then
        echo "FAIL: ACC: an export into a missing directory succeeded"; exit 1
    fi
    grep -q "Cannot Open $WORK/missing" "$WORK/missing.err" && [[ ! -s "$WORK/missing.out" ]] \
        || { echo "FAIL: ACC: no 'Cannot Open' for the missing directory"; cat "$WORK/missing.err"; exit 1; }
) || failures=$((failures + 1))
if [[ -f "$SRC/samples/demo/demo.json" ]]; then
    check_project "$SRC/samples/demo/demo.json" DEMO
fi

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "PASS"
