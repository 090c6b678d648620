#pragma once

#include "export/RawDataReader.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class Progress;
class Ui;
struct DataFileEntry;
struct Settings;

// What the table formats (CSV, SQLite) write for a reserved code: a negative
// code -1..-9 whose category line's label starts with "{" ("{Valid skip}").
enum class ReservedCodes {
    Keep,  // the code as the data hold it
    Empty, // an empty cell (CSV) or NULL (SQLite)
};

// One column of a table cut from a raw data file.
struct TableColumn {
    std::string name;            // unique within its table, letter case aside
    std::string variableName;    // as the codebook names it ("ID" for the identifier)
    char typeCode = ' ';         // the identifier has ' '
    bool isIdentifier = false;
    std::uint32_t variable = 0;  // the variable's number; 0 for the identifier
    std::uint32_t line = 1;      // line of the case, 1-based
    std::size_t offset = 0;      // first column - 1
    std::size_t width = 1;
    std::vector<std::string> reservedCodes; // trimmed, as the category lines write them

    // Implied decimals: 1..9 for type codes '1'..'9', else 0.
    int decimals() const { return typeCode >= '1' && typeCode <= '9' ? typeCode - '0' : 0; }
    bool isText() const { return typeCode == 'A'; }
};

// The table of one data file: its identifier column first (when the file
// has one), then its tagged variables in catalogue order.
struct DataTable {
    std::uint32_t fileNumber = 0;
    const DataFileEntry* file = nullptr;
    std::vector<TableColumn> columns;
    std::uint32_t neededLines = 1; // lines of a case the columns are cut from
};

// Builds the table of data file f from the ascending list of tagged
// variables. An empty column list means the file holds none of them. Returns
// false with `error` set when a location cannot be cut (a first column below
// 1, a last column before the first, a field wider than 7,999 characters or
// on line 0), or when the walk over the catalogue was stopped (error empty).
bool buildDataTable(std::span<const std::uint32_t> tagged, std::uint32_t f, CodebookStore& store,
                    const DataFileEntry& file, const std::function<bool()>& cancelled, DataTable& table,
                    std::string& error);

// The text of one cell from the raw field: blanks trimmed at both ends;
// a reserved code empty when `reserved` says so; a numeric value with
// implied decimals and no decimal point of its own scaled ("1111" with type
// code 4 is "0.1111"); bytes converted from Latin-1 to UTF-8. Alphanumeric
// values are otherwise never changed.
std::string cellText(std::string_view raw, const TableColumn& column, ReservedCodes reserved);

// Reads the cases of a raw data file and hands the raw fields of each, one
// per column, to `onCase`, which returns false to stop. A case is
// file.linesPerCase lines; a field lying beyond its line is blank; a last
// case shorter than the lines the columns need is dropped. Returns false
// with `error` set on a read error, a line longer than the reader takes or
// columns on a line past linesPerCase; false with `error` empty when
// `onCase` stopped.
bool forEachCase(RawDataReader& reader, const DataTable& table,
                 const std::function<bool(std::span<const std::string_view>)>& onCase, std::string& error,
                 std::string_view rawName);

// The host path of a raw data file and the name the program shows for it
// ("D:\DATA\YOUTH97.DAT"; drive "?" without a CD-ROM drive).
std::string rawDataName(const Settings& settings, const DataFileEntry& file);

// Opens the raw data of `file` in `reader`. Result: its rawDataName(); when
// it does not open, nothing, after "Cannot Open <name>" has been shown.
std::optional<std::string> openRawData(RawDataReader& reader, const Settings& settings, const DataFileEntry& file,
                                       Ui& ui);

} // namespace qavn
