#pragma once

// Tables counted from the raw data: the frequencies of one variable or the
// crosstab of two, unweighted or weighted, with or without missing values.

#include "platform/ReadError.h"

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class Progress;
class ProjectMetadata;
class Ui;
struct ProjectSpec;
struct Settings;

// Whether the values a table leaves out as missing are counted: declared
// missing values of the metadata, the reserved codes (-1..-9 with a label in
// braces) and blank numeric fields (system missing).
enum class MissingValues { Exclude, Include };

// What to count. Variables are numbers of the codebook (1-based).
struct TableRequest {
    std::uint32_t row = 0;
    std::uint32_t column = 0; // 0: the frequencies of the row variable alone
    std::uint32_t weight = 0; // 0: every case counts once
    MissingValues missing = MissingValues::Exclude;

    auto operator<=>(const TableRequest&) const = default;
};

// One value of a tabulated variable. Texts are Latin-1, as the codebook and
// the raw data hold them.
struct TableCategory {
    // The value as written out: a number in plain decimals with the implied
    // decimals applied ("1.5", "-2", "9"), else the field's text, trimmed;
    // empty for a blank field.
    std::string value;
    // The field as the category lines write their codes, for matching them:
    // trimmed, numbers by value in the raw data's units ("150" for 1.50
    // with two implied decimals); empty for a blank field.
    std::string code;
    std::string label;    // of the category line with this code; empty when none
    bool missing = false; // a declared missing value, a reserved code or a blank number
    bool reserved = false; // a reserved code, kept as written
    bool numeric = false; // `value` is a number (ordered by `number`)
    double number = 0;
};

// One tabulated variable and its values, in order: numbers ascending, then
// other texts in byte order; a blank number (system missing) last.
struct TableAxis {
    std::uint32_t variable = 0; // 0: no variable (the column axis of a frequency table)
    std::string name;           // the codebook's name
    std::string header;         // the name tables are headed by: the source's long name when the metadata has one
    std::string label;          // the variable's label
    std::vector<TableCategory> categories;
};

// A non-empty cell: the cases of one value of the row variable and one of the
// column variable (always 0 for a frequency table).
struct TableCell {
    std::uint32_t row = 0;    // index into rows.categories
    std::uint32_t column = 0; // index into columns.categories
    std::uint64_t count = 0;  // cases
    double weighted = 0;      // sum of their weights; the count when unweighted
};

struct Tabulation {
    TableRequest request;
    TableAxis rows;
    TableAxis columns;
    TableAxis weight;              // variable 0 when unweighted (no categories)
    std::vector<TableCell> cells;  // count > 0, ordered by row, then column
    std::uint64_t cases = 0;       // cases read
    std::uint64_t missingCases = 0; // left out for a missing value (MissingValues::Exclude)
    double missingWeighted = 0;
    std::uint64_t badWeightCases = 0; // left out: the weight is blank, not a number, missing or negative
    bool cancelled = false;           // stopped before the end: counts of part of the data

    bool weighted() const { return weight.variable != 0; }
    bool crosstab() const { return columns.variable != 0; }
    // What percentages are of: the weighted sums when weighted, else counts.
    double amount(const TableCell& cell) const { return weighted() ? cell.weighted : static_cast<double>(cell.count); }
    double total() const;
    std::uint64_t totalCount() const;
    // Sums per row and per column category (by index).
    std::vector<double> rowTotals() const;
    std::vector<double> columnTotals() const;
};

// The most distinct pairs of raw fields (row and column value) a table
// counts; past it the variable is taken for a continuous one and the table
// is refused.
inline constexpr std::size_t maxTableCells = 200000;

// Counts the table from the raw data. Every data file that holds one of the
// variables is read once, start to end; variables of different data files
// are matched case by case by the identifier.
//
// A case whose weight field is blank, is not a number, is a missing value of
// the weight (declared or reserved) or is negative is left out and counted
// in badWeightCases; a weight of 0 counts the case with nothing added to the
// weighted sums. With MissingValues::Exclude a case with a missing value of
// either variable is left out and counted in missingCases.
//
// Memory grows with the distinct values, not the cases. Progress: the range
// is 1000 over the bytes of the data files; the text names the file being
// read. A cancel returns what was counted with `cancelled` set. Fails
// (naming the data file, and the line where one applies) when a data file
// cannot be opened or read, a location cannot be cut, a weight is an
// alphanumeric variable, a variable belongs to no data file, or the
// variables give more than maxTableCells distinct pairs of values.
ReadResult<Tabulation> tabulate(const TableRequest& request, CodebookStore& store, const ProjectSpec& project,
                                const Settings& settings, const ProjectMetadata* metadata, Ui& ui,
                                Progress& progress);

// A variable named on a command line or typed into a field: its number
// ("17"), its codebook name or its long name in the metadata, letter case
// aside (an exact long name first). 0 when none matches.
std::uint32_t findVariable(std::string_view name, CodebookStore& store, const ProjectMetadata* metadata);

// A number as the tables write it: plain decimals, no exponent, at most
// `significant` significant digits, trailing zeros dropped ("12.5", "3",
// "0.001"); "-0" is "0".
std::string tableNumber(double value, int significant = 15);
// A percentage as the tables write it: rounded to six decimals, trailing
// zeros dropped.
std::string tablePercent(double part, double whole);

} // namespace qavn
