#!/bin/bash
# The Parquet writer's files read by two independent real readers: DuckDB
# (its node package) and hyparquet (JavaScript). parquet_sample writes files
# with every column type, nulls, several row groups and pages, dictionary,
# plain and fallen-back columns, text with quotes, commas and letters above
# 127, an uncompressed file and an empty one, with what it wrote in
# expected.json; tests/npm/check_parquet.mjs compares each reader's values,
# types, nulls, key-value metadata, compression and statistics with it.
# Skips with a message when node or the npm packages cannot be had.
#
# Usage: parquet_readers.sh <build>/bin <source-dir>
. "$(dirname "$0")/lib/common.sh" "$@"
need_tools parquet_sample
if ! NPM_DIR=$("$SRC/scripts/npm-readers.sh" 2>"${TMPDIR:-/tmp}/qavn-npm-$$.txt"); then
    skip "the Parquet readers are not available: $(tr '\n' ' ' <"${TMPDIR:-/tmp}/qavn-npm-$$.txt")"
    rm -f "${TMPDIR:-/tmp}/qavn-npm-$$.txt"
    exit 0
fi
rm -f "${TMPDIR:-/tmp}/qavn-npm-$$.txt"
make_work parquet

"$BIN/parquet_sample" "$WORK/files" || die "parquet_sample could not write its files"
# The check runs beside a link to the cached packages, where node finds them.
mkdir "$WORK/readers"
cp "$SRC/tests/npm/check_parquet.mjs" "$WORK/readers/"
ln -s "$NPM_DIR/node_modules" "$WORK/readers/node_modules"
node "$WORK/readers/check_parquet.mjs" "$WORK/files" || die "a reader does not read what was written"
