#pragma once

// A counted table written out: as CSV for files and other programs, and the
// notes on the cases it left out.

#include "tables/Tabulation.h"

#include <string>
#include <vector>

namespace qavn {

// The table as CSV (RFC 4180, UTF-8, lines ending in CR LF): a header line,
// then one line per non-empty cell in the table's order. Columns: the row
// variable's value (headed by its name), its label (NAME_label), the same
// two for the column variable of a crosstab, `count` (cases), `weighted`
// (the sum of the weights; weighted tables only), `percent` (of the total),
// and for a crosstab `row_percent` and `column_percent`. Percentages are of
// the weighted sums when the table is weighted.
std::string tableCsv(const Tabulation& table);

// The header line's column names, in order (UTF-8).
std::vector<std::string> tableCsvHeader(const Tabulation& table);

// One line each on what the table leaves out: cases with a missing value
// (MissingValues::Exclude), cases the weight could not weigh, and a run
// stopped before the end. Empty when nothing was left out. Latin-1, as the
// names are.
std::vector<std::string> tableNotes(const Tabulation& table);

} // namespace qavn
