// The work-unit merge written with DuckDB, as a yardstick for the merge tool:
//   node merge_duckdb.mjs WUINFO SETILOG OUT
// Reads a WUInfo.csv table and a SETILog export, keeps one row per work-unit name (the
// export's reading wins over the table's), sorts by arrival time and writes OUT as CSV.
// A SETILog row's arrival time is the date of the row before it (its rows run in date order);
// dates become Julian Dates. Needs the package @duckdb/node-api (NODE_PATH may point to it).
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { DuckDBInstance } = require('@duckdb/node-api');

const [wuinfo, setilog, out] = process.argv.slice(2);
if (!out) {
  console.error('usage: node merge_duckdb.mjs WUINFO SETILOG OUT');
  process.exit(2);
}
const quote = (text) => `'${text.replaceAll("'", "''")}'`;

const instance = await DuckDBInstance.create(':memory:');
const db = await instance.connect();
await db.run(`CREATE TABLE t AS SELECT 0 AS src, row_number() OVER () AS pos, *
              FROM read_csv(${quote(wuinfo)}, header = true)`);
const columns = (await db.runAndReadAll(`SELECT * FROM t LIMIT 0`)).columnNames()
  .filter((c) => c !== 'src' && c !== 'pos')
  .map((c) => `"${c.replaceAll('"', '""')}"`).join(', ');
await db.run(`CREATE TABLE l AS
  WITH raw AS (
    SELECT * EXCLUDE ("date", version, g_fft_ind), g_fft_ind AS bg_fft_ind,
           epoch(CAST("date" AS TIMESTAMP)) / 86400.0 + 2440587.5 AS "Update"
    FROM read_csv(${quote(setilog)}, header = true))
  SELECT 1 AS src, row_number() OVER (ORDER BY "Update") AS pos, *,
         lag("Update") OVER (ORDER BY "Update") AS "TimeStamp"
  FROM raw`);
await db.run(`COPY (
    SELECT ${columns} FROM (
      SELECT * FROM t UNION ALL BY NAME SELECT * FROM l)
    QUALIFY row_number() OVER (PARTITION BY name ORDER BY src DESC, pos DESC) = 1
    ORDER BY "TimeStamp" NULLS FIRST, src, pos)
  TO ${quote(out)} (HEADER, DELIMITER ',')`);
