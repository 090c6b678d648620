#pragma once

// The SPSS and Stata data files: what they hold, and the names and missing
// values the packages accept.

#include <string>
#include <string_view>
#include <vector>

namespace qavn {

// The system files of the statistics packages, written through ReadStat.
enum class StatFileKind {
    Spss,  // SPSS data file (.sav), bytecode-compressed
    Stata, // Stata data file (.dta), release 118 (Stata 14 and later)
};

// The contents of the SPSS and Stata data files (makeSpssDataFile and
// makeStataDataFile in formats/TableFormats.h): the identifier first (as
// "ID", or "id" in Stata: numeric when every value is an integer, else text),
// then the variables in catalogue order under their codebook names (made
// valid and unique for the package: see spssVariableName and
// stataVariableName), the catalogue label as the variable label, the
// category lines as value labels (numeric codes with the implied decimals
// applied as in the data; quoted codes of text variables in SPSS only, which
// alone labels strings), numeric values with implied decimals applied (as
// cellText() does), text variables as strings of their width (more when
// Latin-1 letters need more bytes as UTF-8), display formats F<w>.<d> / A<w>
// and %<w>.<d>f / %<w>s. The reserved codes (TableColumn::reservedCodes) are
// user-missing values in SPSS (at most three values, or a range and a value;
// see spssMissingValues) and extended missing values in Stata: -1 is .a, -2
// is .b, ... -9 is .i; their labels are kept either way. A blank numeric
// field is system-missing; a field that is no number is system-missing too,
// and a notice counts them per variable. The files' creation time is the raw
// data file's modification time, so the same data give the same bytes. A
// Stata text variable wider than 2,045 bytes is refused; with no tagged
// variable in any data file nothing is written.

// A codebook name as an SPSS variable name: characters other than letters,
// digits and . _ $ # @ become "_", a name not starting with a letter gets a
// "V" in front, a final "." becomes "_", a reserved word (ALL, AND, BY, EQ,
// GE, GT, LE, LT, NE, NOT, OR, TO, WITH) gets "_" appended; at most 64
// bytes. Then "_2", "_3", ... until no name in `taken` has it, letter case
// aside; the result is added to `taken`.
std::string spssVariableName(std::string_view name, std::vector<std::string>& taken);

// The same for Stata: lower case, characters other than a-z, 0-9 and "_"
// become "_", a name not starting with a letter or "_" gets a "v" in front,
// a reserved word (byte, int, long, float, double, if, in, using, with, _n,
// _all, ..., str<n>, strl) gets "_" appended; at most 32 characters.
std::string stataVariableName(std::string_view name, std::vector<std::string>& taken);

} // namespace qavn
