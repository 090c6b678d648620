// node check_extract.mjs WORK: the Parquet output of a project read by two
// independent readers, DuckDB and hyparquet. WORK/expected.json names the
// runs: each a folder of Parquet files and the folder of the CSV output of
// the same selection, whose cells the Parquet values must equal (empty as
// null, numbers by value), and whose nulls, least and greatest numbers the
// footer's statistics must give; the types some columns must have; a mean the
// source's raw data gives with missing values excluded; and the labelled
// column to check in the views of duckdb.sql, which DuckDB runs in a copy of
// the folder moved elsewhere. Prints one line per failed check; exits 1 when
// any failed.
import { cpSync, readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { DuckDBInstance } from '@duckdb/node-api';
import { asyncBufferFromFile, parquetReadObjects } from 'hyparquet';
import { compressors } from 'hyparquet-compressors';

const work = process.argv[2];
const expected = JSON.parse(readFileSync(join(work, 'expected.json'), 'utf8'));
let failures = 0;
let checks = 0;
function check(ok, what) {
  checks++;
  if (!ok) {
    failures++;
    if (failures <= 40) console.log(`FAIL: ${what}`);
  }
}
const sql = (text) => `'${text.replaceAll("'", "''")}'`;
const name = (text) => `"${text.replaceAll('"', '""')}"`;

// RFC 4180, lines ending in CR LF.
function readCsv(path) {
  const text = readFileSync(path, 'utf8');
  const rows = [];
  let row = [];
  let field = '';
  let quoted = false;
  for (let i = 0; i < text.length; i++) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; i++; }
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { row.push(field); field = ''; }
    else if (c === '\r' && text[i + 1] === '\n') { row.push(field); rows.push(row); row = []; field = ''; i++; }
    else field += c;
  }
  return { header: rows[0], rows: rows.slice(1) };
}

// A CSV cell against a reader's value of a column of `type`.
function same(cell, got, type) {
  if (cell === '') return got === null || got === undefined;
  if (type === 'VARCHAR') return got === cell;
  if (type === 'BIGINT') return BigInt(got) === BigInt(cell);
  return Number(got) === Number(cell);
}

async function checkRun(db, run) {
  const dir = join(work, run.parquet);
  for (const csvFile of readdirSync(join(work, run.csv)).filter((f) => f.endsWith('.csv')).sort()) {
    const table = csvFile.slice(0, -4);
    const path = join(dir, `${table}.parquet`);
    const where = `${run.parquet}/${table}`;
    const csv = readCsv(join(work, run.csv, csvFile));
    const source = `read_parquet(${sql(path)})`;
    const described = (await db.runAndReadAll(`DESCRIBE SELECT * FROM ${source}`)).getRowObjectsJson();
    check(described.map((c) => c.column_name).join() === csv.header.join(), `${where}: columns ${described.map((c) => c.column_name)}`);
    const types = Object.fromEntries(described.map((c) => [c.column_name, c.column_type]));
    for (const [column, type] of Object.entries(run.types?.[table] ?? {}))
      check(types[column] === type, `${where}: ${column} is ${types[column]}, not ${type}`);
    const declared = (await db.runAndReadAll(
      `SELECT name, type FROM read_parquet(${sql(join(dir, 'variables.parquet'))}) WHERE "table" = ${sql(table)}`)).getRowObjectsJson();
    for (const v of declared)
      check(types[v.name] === v.type, `${where}: variables.parquet says ${v.name} is ${v.type}, the file ${types[v.name]}`);

    // Every value, by DuckDB and by hyparquet.
    const rows = (await db.runAndReadAll(`SELECT * FROM ${source}`)).getRowsJson();
    const objects = await parquetReadObjects({ file: await asyncBufferFromFile(path), compressors });
    check(rows.length === csv.rows.length, `${where}: DuckDB reads ${rows.length} rows, the CSV file has ${csv.rows.length}`);
    check(objects.length === csv.rows.length, `${where}: hyparquet reads ${objects.length} rows, the CSV file has ${csv.rows.length}`);
    const nulls = described.map(() => 0);
    const low = described.map(() => Infinity);
    const high = described.map(() => -Infinity);
    for (let r = 0; r < Math.min(rows.length, objects.length, csv.rows.length); r++) {
      described.forEach(({ column_name: column, column_type: type }, c) => {
        const cell = csv.rows[r][c];
        if (cell === '') nulls[c]++;
        else if (type !== 'VARCHAR' && type !== 'DATE') {
          low[c] = Math.min(low[c], Number(cell));
          high[c] = Math.max(high[c], Number(cell));
        }
        check(same(cell, rows[r][c], type), `${where} row ${r + 1} ${column}: DuckDB ${rows[r][c]}, CSV ${JSON.stringify(cell)}`);
        check(same(cell, objects[r][column], type),
              `${where} row ${r + 1} ${column}: hyparquet ${objects[r][column]}, CSV ${JSON.stringify(cell)}`);
      });
    }

    // Compressed pages, and statistics that count the nulls.
    const meta = (await db.runAndReadAll(
      `SELECT column_id, any_value(compression) AS compression, sum(stats_null_count) AS nulls,
              min(TRY_CAST(stats_min_value AS DOUBLE)) AS low, max(TRY_CAST(stats_max_value AS DOUBLE)) AS high
       FROM parquet_metadata(${sql(path)}) GROUP BY column_id ORDER BY column_id`)).getRowObjectsJson();
    for (const m of meta) {
      const c = Number(m.column_id);
      const column = described[c].column_name;
      check(m.compression === 'ZSTD', `${where} ${column}: compression ${m.compression}`);
      check(Number(m.nulls) === nulls[c], `${where} ${column}: null count ${m.nulls}, ${nulls[c]} empty cells`);
      if (low[c] <= high[c])
        check(Number(m.low) === low[c] && Number(m.high) === high[c],
              `${where} ${column}: statistics ${m.low}..${m.high}, the values ${low[c]}..${high[c]}`);
    }
    const kv = (await db.runAndReadAll(
      `SELECT decode(key) AS key FROM parquet_kv_metadata(${sql(path)})`)).getRowObjectsJson().map((e) => e.key);
    for (const column of csv.header)
      check(kv.includes(`qavn.label.${column}`), `${where}: no label of ${column} in the key-value metadata`);
  }

  for (const m of run.means ?? []) {
    const path = join(dir, `${m.table}.parquet`);
    const [{ mean }] = (await db.runAndReadAll(
      `SELECT avg(${name(m.column)}) AS mean FROM read_parquet(${sql(path)})`)).getRowObjectsJson();
    check(Math.abs(mean - m.mean) <= 1e-9 * Math.abs(m.mean), `${run.parquet}: DuckDB's mean of ${m.column} ${mean}, the source's ${m.mean}`);
    const values = (await parquetReadObjects({ file: await asyncBufferFromFile(path), compressors, columns: [m.column] }))
      .map((o) => o[m.column]).filter((v) => v !== null && v !== undefined);
    const hmean = values.reduce((a, b) => a + b, 0) / values.length;
    check(Math.abs(hmean - m.mean) <= 1e-9 * Math.abs(m.mean), `${run.parquet}: hyparquet's mean of ${m.column} ${hmean}, the source's ${m.mean}`);
  }
}

// duckdb.sql in a copy of the folder moved elsewhere: a view per table with
// every case, and the labels in the schema labelled.
async function checkViews(run) {
  const moved = join(work, 'moved', run.parquet);
  cpSync(join(work, run.parquet), moved, { recursive: true });
  process.chdir(moved);
  const instance = await DuckDBInstance.create(':memory:');
  const db = await instance.connect();
  const script = readFileSync('duckdb.sql', 'utf8');
  for (const statement of script.split(/;\r?\n/).map((s) => s.replace(/^(--.*\r?\n)+/, '').trim()).filter(Boolean))
    await db.run(statement);
  for (const csvFile of readdirSync(join(work, run.csv)).filter((f) => f.endsWith('.csv'))) {
    const table = csvFile.slice(0, -4);
    const cases = readCsv(join(work, run.csv, csvFile)).rows.length;
    for (const view of [`main.${name(table)}`, `labelled.${name(table)}`]) {
      const [{ n }] = (await db.runAndReadAll(`SELECT count(*)::INTEGER AS n FROM ${view}`)).getRowObjectsJson();
      check(n === cases, `duckdb.sql: ${view} holds ${n} cases, the data ${cases}`);
    }
  }
  const v = run.labelled;
  if (v) {
    const count = async (q) => Number((await db.runAndReadAll(q)).getRowsJson()[0][0]);
    const coded = await count(`SELECT count(*) FROM main.${name(v.table)} t WHERE EXISTS (SELECT 1 FROM value_labels l
        WHERE l.variable = ${sql(v.column)} AND l.value = t.${name(v.column)} AND l.label IS NOT NULL)`);
    const labelled = await count(`SELECT count(*) FROM labelled.${name(v.table)} t WHERE t.${name(v.column)} IN
        (SELECT label FROM value_labels WHERE variable = ${sql(v.column)})`);
    check(coded > 0 && labelled === coded, `duckdb.sql: ${labelled} labels in labelled.${v.table}.${v.column}, ${coded} coded values`);
    const missing = await count(`SELECT count(*) FROM value_labels WHERE variable = ${sql(v.column)} AND is_missing`);
    check(missing === v.missingCodes, `duckdb.sql: ${missing} missing codes of ${v.column}, ${v.missingCodes} reserved`);
  }
  if (run.variables !== undefined) {
    const [[variables]] = (await db.runAndReadAll('SELECT count(*)::INTEGER FROM variables')).getRowsJson();
    check(variables === run.variables, `duckdb.sql: ${variables} variables, ${run.variables} tagged`);
  }
}

const instance = await DuckDBInstance.create(':memory:');
const db = await instance.connect();
for (const run of expected.runs) {
  await checkRun(db, run);
  await checkViews(run);
}
console.log(`${checks - failures} of ${checks} reader checks passed`);
process.exit(failures ? 1 : 0);
