// node check_parquet.mjs DIR: reads every Parquet file that DIR/expected.json
// describes with two independent readers, DuckDB and hyparquet, and
// compares what each sees with what was written: column names and types,
// every value and null, the key-value metadata, and (DuckDB's
// parquet_metadata, hyparquet's footer) each row group's size, compression,
// min, max and null count. Prints one line per check that fails and exits 1
// when any did.
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { DuckDBInstance } from '@duckdb/node-api';
import { asyncBufferFromFile, parquetMetadata, parquetReadObjects } from 'hyparquet';
import { compressors } from 'hyparquet-compressors';

const dir = process.argv[2];
const expected = JSON.parse(readFileSync(join(dir, 'expected.json'), 'utf8'));
let failures = 0;
let checks = 0;
function check(ok, what) {
  checks++;
  if (!ok) {
    failures++;
    if (failures <= 40) console.log(`FAIL: ${what}`);
  }
}
const show = (v) => JSON.stringify(v, (k, x) => (typeof x === 'bigint' ? `${x}n` : x));
const sql = (text) => `'${text.replaceAll("'", "''")}'`;

// A value in DuckDB's JSON form (see parquet_sample) against a reader's.
function sameNumber(want, got) {
  if (want === 'NaN') return Number.isNaN(got);
  return typeof got === 'number' && got === want;
}

async function checkDuckDB(file, path) {
  const instance = await DuckDBInstance.create(':memory:');
  const db = await instance.connect();
  const source = `read_parquet(${sql(path)})`;

  const described = (await db.runAndReadAll(`DESCRIBE SELECT * FROM ${source}`)).getRowObjectsJson();
  check(show(described.map((c) => [c.column_name, c.column_type])) ===
        show(file.columns.map((c) => [c.name, c.type])),
        `duckdb ${file.name}: columns ${show(described.map((c) => [c.column_name, c.column_type]))}`);

  const rows = (await db.runAndReadAll(`SELECT * FROM ${source}`)).getRowsJson();
  check(rows.length === file.rows.length, `duckdb ${file.name}: ${rows.length} rows, ${file.rows.length} written`);
  for (let r = 0; r < Math.min(rows.length, file.rows.length); r++) {
    for (let c = 0; c < file.columns.length; c++) {
      const want = file.rows[r][c];
      const got = rows[r][c];
      const ok = file.columns[c].type === 'DOUBLE' && want !== null
        ? (want === 'NaN' ? got === 'NaN' : got === want)
        : show(got) === show(want);
      check(ok, `duckdb ${file.name} row ${r + 1} ${file.columns[c].name}: ${show(got)}, written ${show(want)}`);
    }
  }

  const kv = (await db.runAndReadAll(
    `SELECT decode(key) AS key, decode(value) AS value FROM parquet_kv_metadata(${sql(path)})`)).getRowObjectsJson();
  check(show(Object.fromEntries(kv.map((e) => [e.key, e.value]))) === show(file.metadata),
        `duckdb ${file.name}: key-value metadata ${show(kv)}`);

  const meta = (await db.runAndReadAll(
    `SELECT row_group_id, row_group_num_rows, column_id, path_in_schema, compression, encodings,
            stats_min_value, stats_max_value, stats_null_count
     FROM parquet_metadata(${sql(path)}) ORDER BY row_group_id, column_id`)).getRowObjectsJson();
  check(meta.length === file.row_groups.length * file.columns.length,
        `duckdb ${file.name}: ${meta.length} column chunks`);
  for (const m of meta) {
    const g = Number(m.row_group_id);
    const c = Number(m.column_id);
    const group = file.row_groups[g];
    if (!group) continue;
    const want = group.stats[c];
    const where = `duckdb ${file.name} row group ${g} ${m.path_in_schema}`;
    check(Number(m.row_group_num_rows) === group.rows, `${where}: ${m.row_group_num_rows} rows`);
    check(m.compression === file.compression, `${where}: compression ${m.compression}`);
    check(Number(m.stats_null_count) === want.nulls, `${where}: null count ${m.stats_null_count}, ${want.nulls} written`);
    for (const [key, got] of [['min', m.stats_min_value], ['max', m.stats_max_value]]) {
      const w = want[key];
      // DuckDB gives every statistic as text.
      const ok = typeof w === 'number' ? Number(got) === w : got === w;
      check(ok, `${where}: ${key} ${show(got)}, the values' ${show(w)}`);
    }
  }
  if (file.name === 'types.parquet') {
    // The dictionary column, the plain one, and the one that falls back.
    const encodings = (name) => meta.filter((m) => m.row_group_id === '0' && m.path_in_schema === name)[0]?.encodings;
    check(/RLE_DICTIONARY/.test(encodings('label')), `duckdb: label encodings ${encodings('label')}`);
    check(!/RLE_DICTIONARY/.test(encodings('note')), `duckdb: note encodings ${encodings('note')}`);
    check(/RLE_DICTIONARY/.test(encodings('grows')) && /PLAIN/.test(encodings('grows')),
          `duckdb: grows encodings ${encodings('grows')}`);
  }
  db.closeSync?.();
}

async function checkHyparquet(file, path) {
  const buffer = readFileSync(path);
  const metadata = parquetMetadata(buffer.buffer.slice(buffer.byteOffset, buffer.byteOffset + buffer.byteLength));
  const where = `hyparquet ${file.name}`;
  check(Number(metadata.num_rows) === file.rows.length, `${where}: num_rows ${metadata.num_rows}`);
  const kv = Object.fromEntries((metadata.key_value_metadata ?? []).map((e) => [e.key, e.value]));
  check(show(kv) === show(file.metadata), `${where}: key-value metadata ${show(kv)}`);
  check(metadata.row_groups.length === file.row_groups.length, `${where}: ${metadata.row_groups.length} row groups`);
  metadata.row_groups.forEach((group, g) => {
    const want = file.row_groups[g];
    if (!want) return;
    check(Number(group.num_rows) === want.rows, `${where} row group ${g}: ${group.num_rows} rows`);
    group.columns.forEach((chunk, c) => {
      const meta = chunk.meta_data;
      check(meta.codec === file.compression, `${where} row group ${g} column ${c}: codec ${meta.codec}`);
      check(Number(meta.statistics?.null_count) === want.stats[c].nulls,
            `${where} row group ${g} column ${c}: null count ${meta.statistics?.null_count}`);
    });
  });

  const rows = await parquetReadObjects({ file: await asyncBufferFromFile(path), compressors });
  check(rows.length === file.rows.length, `${where}: ${rows.length} rows, ${file.rows.length} written`);
  for (let r = 0; r < Math.min(rows.length, file.rows.length); r++) {
    file.columns.forEach((column, c) => {
      const want = file.rows[r][c];
      let got = rows[r][column.name];
      let ok;
      if (want === null) {
        ok = got === null || got === undefined;
      } else if (column.type === 'DOUBLE') {
        ok = sameNumber(want, got);
      } else if (column.type.startsWith('DECIMAL')) {
        // hyparquet gives a decimal as a double: equal to the last bit it holds.
        ok = typeof got === 'number' && Math.abs(got - Number(want)) <= Math.abs(Number(want)) * 1e-15;
      } else if (column.type === 'DATE') {
        ok = got instanceof Date && got.toISOString().slice(0, 10) === want;
      } else if (column.type === 'BIGINT') {
        ok = typeof got === 'bigint' && got.toString() === want;
      } else {
        ok = got === want;
      }
      check(ok, `${where} row ${r + 1} ${column.name}: ${show(got)}, written ${show(want)}`);
    });
  }
}

for (const file of expected.files) {
  const path = join(dir, file.name);
  await checkDuckDB(file, path);
  await checkHyparquet(file, path);
}
console.log(`${checks - failures} of ${checks} reader checks passed`);
process.exit(failures ? 1 : 0);
