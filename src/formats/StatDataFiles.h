#pragma once

#include "formats/TableExports.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class Progress;

// The system files of the statistics packages, written through ReadStat.
enum class StatFileKind {
    Spss,  // SPSS data file (.sav), bytecode-compressed
    Stata, // Stata data file (.dta), release 118 (Stata 14 and later)
};

// Writes the tagged variables' data as SPSS or Stata data files: one file
// per data file that holds tagged variables. When only one data file does,
// the file takes the name as chosen (options.path after outputFileName with
// ".sav" or ".dta"); when several do, each is named
// "<chosen name without extension>_<dataPathName>.<extension>"
// ("RESULT.sav" -> "RESULT_DATA_YOUTH97.sav"), beside the chosen name, and
// an information message lists them.
//
// Contents: the identifier first (as "ID", or "id" in Stata: numeric when
// every value is an integer, else text), then the variables in catalogue
// order under their codebook names (made valid and unique for the package:
// see spssVariableName and stataVariableName), the catalogue label as the
// variable label, the category lines as value labels (numeric codes with
// the implied decimals applied as in the data; quoted codes of text
// variables in SPSS only, which alone labels strings), numeric values with
// implied decimals applied (as cellText() does), text variables as strings
// of their width (more when Latin-1 letters need more bytes as UTF-8),
// display formats F<w>.<d> / A<w> and %<w>.<d>f / %<w>s. The reserved codes
// (TableColumn::reservedCodes) are user-missing values in SPSS (at most
// three values, or a range and a value; see spssMissingValues) and extended
// missing values in Stata: -1 is .a, -2 is .b, ... -9 is .i; their labels
// are kept either way. A blank numeric field is system-missing; a field that
// is no number is system-missing too, and an information message counts
// them per variable. The files' creation time is the raw data file's
// modification time, so the same data give the same bytes.
//
// Each file is written to a temporary file beside its name and renamed when
// complete, so a cancelled or failed run never leaves a file that looks
// complete: after a cancel (progress polled after every case) the files
// completed so far stay and the status is Stopped; a write failure (a full
// disk) is "Cannot Write <name> !" with the system's text and status
// Failed. result.fileName names the file the run ended on. Texts go to
// `progress` as the SQLite database gives them.
OutputResult writeStatDataFiles(StatFileKind kind, const WriterServices& services,
                                std::span<const std::uint32_t> tagged, const TableExportOptions& options,
                                Progress& progress);

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

// The user-missing values SPSS keeps for a variable's reserved codes, which
// allows three discrete values or one range and one value: the codes
// themselves when there are at most three; else a run of consecutive codes
// as the range with the one code left over, when that covers them all; else
// the range from the lowest code to the highest (which then also covers the
// codes between them that are not reserved).
struct SpssMissingValues {
    std::vector<double> values;
    bool hasRange = false;
    double low = 0;
    double high = 0;
};
SpssMissingValues spssMissingValues(std::vector<int> codes);

} // namespace qavn
