#!/bin/bash
# The README lists every output of the output-format table, as qavn-extract
# --help lists them: one row of its format table per format, in the table's
# order, and one batch command per format in the examples below it.
#
# Usage: readme_formats.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools qavn-extract
README="$SRC/README.md"
[ -f "$README" ] || fail "no README at $README"

formats=$("$BIN/qavn-extract" --help | sed -n '/^Formats:/,/^$/p' | awk 'NF > 1 && $1 != "Formats:" {print $1}')
[ -n "$formats" ] || fail "--help lists no formats"

# The rows of the format table: lines "| `name` | ... |" after its header.
rows=$(sed -n '/| FORMAT | writes | same as |/,/^$/p' "$README" | sed -n 's/^ *| `\([a-z-]*\)` |.*/\1/p')
[ "$rows" = "$formats" ] ||
    fail "the README's format table lists $(echo $rows) but --help lists $(echo $formats)"

# Each format's batch command among the examples.
for format in $formats; do
    grep -qE "^qavn-extract P=DEMO --tag 1-20 --write $format +[^ ]" "$README" ||
        fail "the README has no batch command for $format"
done
echo PASS
