#pragma once

// The table outputs, each a TableFormat run by the table driver
// (formats/TableDriver.h) from its entry in the output-format table.

#include "formats/TableDriver.h"

#include <memory>

namespace qavn {

using TableFormatMaker = std::unique_ptr<TableFormat> (*)();

// CSV (RFC 4180), Folder layout: one file per table, "<folder>\<table>.csv"
// ("DATA_YOUTH97.csv"). A header line of the column names (the identifier
// first, as "ID"), then one line per case; lines end in CR LF; a value is
// quoted only when it holds a comma, a double quote or a line break, its
// double quotes doubled; values as cellText() gives them.
std::unique_ptr<TableFormat> makeCsvTables();

// SQLite database, OneFile (".db"): one table per data table, named as the
// table, with a column per variable typed INTEGER (type codes blank and 0),
// REAL (implied decimals) or TEXT (A), the identifier as PRIMARY KEY when
// its values are unique within the table (else a plain column, INTEGER when
// every value is a number, else TEXT); empty cells are NULL. A table
// `variables` (name, label, data_file, location, type, decimals, section)
// lists the tagged variables, `value_labels` (variable, code, label,
// frequency, is_missing) their category lines, is_missing 1 for the reserved
// codes. Each table is filled in one transaction with prepared statements.
std::unique_ptr<TableFormat> makeSqliteDatabase();

// SPSS (.sav, bytecode-compressed) and Stata (.dta, release 118) data files
// through ReadStat, OneFile: one file per table; with one table it takes the
// chosen name, with several each is "<chosen stem>_<table>.<extension>"
// beside it and a notice lists them. See formats/StatDataFiles.h for the
// contents.
std::unique_ptr<TableFormat> makeSpssDataFile();
std::unique_ptr<TableFormat> makeStataDataFile();

// DDI Codebook 2.5, OneFile (".xml"): the document of the tagged variables
// in UTF-8, and beside it the fixed-width extract it describes: per table one
// file of the raw columns of its identifier and its tagged variables, packed
// side by side into lines of at most 1,024 characters (as many lines per case
// as they need), bytes as the raw data hold them (Latin-1, lines ending in
// CR LF). The extract of a run with one table is "<name>.dat"; with several,
// "<name>_<table>.dat" (and "<name>_data.dat" when "<name>.dat" is the
// document itself).
//
// The document: the project's title; a fileDscr per extract (its file name,
// case count, variable count, longest line, lines per case, character set);
// the codebook sections as varGrp; per variable its name, location in the
// extract (StartPos, EndPos, width, RecSegNo), dcml for implied decimals,
// intrvl, label, description as qstnLit, categories with frequency (the
// value a whole-number code stands for under implied decimals: "-5" with
// dcml 2 is -0.05), reserved codes (-1..-9, label in braces) marked
// missing="Y", and varFormat.
std::unique_ptr<TableFormat> makeDdiCodebook();

// Parquet files, Folder layout: per table "<folder>\<table>.parquet" with a
// typed, optional column per column of the table, named as the table names
// it (the source's long name where the metadata has one): the identifier
// INT32 or INT64 when every value is a whole number without leading zeros,
// else text; numbers without implied decimals INT32 up to nine characters,
// INT64 beyond; implied decimals, and numbers that hold a point of their
// own, DOUBLE with the decimals applied; a number the source shows as a date
// (the metadata's format, counted in its unit from its origin) DATE when
// every value is a whole day; a numeric column that holds a value that is no
// number text, with a notice; text UTF-8. Blank fields are null, and under
// ReservedCodes::Empty so are the reserved codes and the values the source
// declared missing. The key-value metadata holds the project's title, the
// table, its data files and each column's label ("qavn.label.<column>").
// Beside them variables.parquet (per tagged variable its table, names,
// label, data file, location, type, decimals, section and description),
// value_labels.parquet (per category line its table, variable, code, value,
// label, frequency and is_missing), and duckdb.sql: DuckDB views of every
// file by paths relative to the folder, and in the schema "labelled" each
// table with its labelled codes shown as their labels.
std::unique_ptr<TableFormat> makeParquetTables();

} // namespace qavn
