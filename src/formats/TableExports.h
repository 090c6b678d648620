#pragma once

#include "formats/TableData.h"
#include "writers/WriterDriver.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qavn {

class Progress;

// How a run of a table format is told where to write and what to do with
// reserved codes.
struct TableExportOptions {
    ReservedCodes reserved = ReservedCodes::Keep;
    // CSV: the output folder as the user typed it (taken exactly, like the
    // data export's --output-dir); empty for the configured output directory.
    // SQLite: the database file as chosen.
    std::string path;
    // Test seam (SQLite): the n-th write to the database and all after it
    // fail as a full disk would; 0 switches it off.
    std::size_t failFromWrite = 0;
};

// CSV (RFC 4180): one file per data file that holds tagged variables, into
// the output folder, named "<dataPath with _>.csv" ("DATA_YOUTH97.csv"; see
// dataPathName), so a name never leaves the folder. A header line of the
// column names (the identifier first, as "ID"), then one line per case;
// lines end in CR LF; a value is quoted only when it holds a comma, a double
// quote or a line break, its double quotes doubled; values as cellText()
// gives them.
//
// `tagged` holds the numbers of the tagged variables in ascending order.
// Each file is written to a temporary file beside it and takes its name when
// complete; a file that would replace one of the project's own files, or one
// written earlier in the run, is refused with a message. `progress` gets the
// export dialog's texts (accessfield) and is polled after every case; after
// a cancel the file in progress is dropped and the status is Stopped.
// Messages go through services.ui. generatedFiles: an empty first entry, then
// each file as built from the folder name.
OutputResult writeCsvTables(const WriterServices& services, std::span<const std::uint32_t> tagged,
                            const TableExportOptions& options, Progress& progress);

// SQLite database, one file at options.path (".db" added by the naming rule
// when it has no period): one table per data file that holds tagged
// variables, named like the CSV files, with a column per variable typed
// INTEGER (type codes blank and 0), REAL (implied decimals) or TEXT (A), the
// identifier as PRIMARY KEY when its values are unique within the file (else
// a plain column, INTEGER when every value is a number, else TEXT); empty
// cells are NULL. A table `variables` (name, label, data_file, location,
// type, decimals, section) lists the tagged variables, `value_labels`
// (variable, code, label, frequency, is_missing) their category lines,
// is_missing 1 for the reserved codes. Each table is filled in one
// transaction with prepared statements; the database is built in a temporary
// file beside the chosen name and renamed over it when complete. A write
// failure (a full disk: "Cannot Write <name> !" with the system's text,
// status Failed) leaves the file under the name as it was; after a cancel or
// unreadable data, as with the other one-file outputs, the database takes
// the name holding the tables completed so far (status Stopped).
OutputResult writeSqliteDatabase(const WriterServices& services, std::span<const std::uint32_t> tagged,
                                 const TableExportOptions& options, Progress& progress);

} // namespace qavn
