#pragma once

// Checking the codebook's category lines against the raw data, and the figures
// of variables without them.

#include "platform/ReadError.h"
#include "verify/VerifyReport.h"

#include <cstdint>
#include <optional>
#include <span>

namespace qavn {

class CodebookStore;
class Progress;
class Ui;
struct ProjectSpec;
struct Settings;

// Checks the codebook against the raw data: each data file holding one of
// `variables` (ascending numbers; the project must be loaded, so that every
// data file knows its first row) is read once, start to end, whatever the
// number of variables.
//
// For a variable with category lines, every line's frequency is compared with
// the number of cases whose field, trimmed of blanks, holds its code, and its
// percent with 100 × count / cases of the data file, allowing the rounding of
// the percent's written decimals (half a unit of its last digit). A code is
// matched as written, without enclosing apostrophes ('M' is M, '' inside is
// '); numbers match by value when the variable is not alphanumeric (01 is 1,
// 1.50 is 1.5). The codes "." and ".a" to ".z" (system and special missing
// values, which the raw data leave blank) stand for the blank fields; several
// of them are checked by their sum, against the first of them. Values without
// a category line are reported for categorical variables (type code blank)
// and for others whose category lines label more than missing values (a label
// not in braces); at most 100 distinct values a variable are listed, the
// cases of the rest are counted.
//
// For a variable without category lines the figures (ValueFigures) are
// computed.
//
// Memory does not grow with the number of cases: counts are kept per distinct
// value, up to a bound per variable. Progress: the range is 1000 over the
// bytes of the data files to read, the text names the file being read; it is
// polled every megabyte and every 4,096 cases. A cancel returns the report so
// far with `cancelled` set. A data file that cannot be opened or read, a line
// longer than the reader takes, or a location that cannot be cut is returned
// as the error, naming the file (and the line where one applies).
ReadResult<VerifyReport> verifyCodebook(std::span<const std::uint32_t> variables, CodebookStore& store,
                                        const ProjectSpec& project, const Settings& settings, Ui& ui,
                                        Progress& progress);

// The figures of one variable, from one pass over its data file (as
// verifyCodebook() computes them, whether or not the variable has category
// lines). Nothing after a cancel.
ReadResult<std::optional<ValueFigures>> variableFigures(std::uint32_t variable, CodebookStore& store,
                                                        const ProjectSpec& project, const Settings& settings,
                                                        Ui& ui, Progress& progress);

} // namespace qavn
