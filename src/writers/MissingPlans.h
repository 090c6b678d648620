#pragma once

// How the statistics packages hold a variable's missing values: the
// reserved codes of the codebook (-1..-9 with a label in braces) and the
// values its source declared missing (the project's metadata), as SPSS's
// user-missing values and as Stata's extended missing values. Shared by the
// data files (.sav, .dta) and the programs (PSPP, Stata).

#include "project/DeclaredMissing.h"

#include <string>
#include <utility>
#include <vector>

namespace qavn {

using ValueRange = std::pair<double, double>; // low, high (-HUGE_VAL, HUGE_VAL for open ends)

// A finite number as the shortest decimal text that reads back as it, with
// no exponent ("9", "-0.05", "1000000"), for the programs' statements.
std::string plainNumber(double value);

// The user-missing values SPSS keeps for a variable: three values, or one
// range and one value. `values` and the range are what it keeps; what does
// not fit is to be recoded to the system-missing value, and a note says so.
struct SpssMissingValues {
    std::vector<double> values;
    bool hasRange = false;
    double low = 0;
    double high = 0;
    std::vector<double> recodedValues;
    std::vector<ValueRange> recodedRanges;

    bool recodes() const { return !recodedValues.empty() || !recodedRanges.empty(); }
    // Whether a value is one that is recoded to the system-missing value.
    bool recoded(double value) const;
};

// The user-missing values of the missing `codes` and `ranges`: codes inside
// a range are the range's. Without ranges, at most three codes are kept as
// they are; more, when all but one are consecutive, are that range and the
// one left over; otherwise the longest run of consecutive codes (of two at
// least) is the range and the lowest code left
// over the value, or the three lowest codes are kept when there is no run,
// and the rest is recoded. With ranges, the first range and the lowest code
// are kept and the rest is recoded. Consecutive codes are `step` apart (a
// variable with implied decimals d: 10^-d, so -0.003 follows -0.004).
SpssMissingValues spssMissingValues(std::vector<double> codes, std::vector<ValueRange> ranges = {}, double step = 1);

// One of Stata's extended missing values (.a-.z) of a variable, and the
// missing value it stands for.
struct StataMissingLetter {
    char letter = 'a';
    bool reserved = false; // a reserved code -k: the k-th letter (-1 is .a, ... -9 is .i)
    double low = 0;        // a code: low == high
    double high = 0;
    std::string label;     // the declared label (UTF-8); a reserved code's is its category line's
};

// The extended missing values of a variable: its reserved codes (as the
// category lines write them, "-1".."-9") take their fixed letters, then its
// declared codes and ranges take .j-.z and the letters .a-.i its reserved
// codes left free, in that order (a declared code equal to a reserved one is
// the reserved code's). Declared values beyond the 26 letters have none:
// they become the system-missing value ".".
struct StataMissing {
    std::vector<StataMissingLetter> letters;
    std::vector<ValueRange> unlettered;

    bool empty() const { return letters.empty() && unlettered.empty(); }
    // The letter of a declared value (a number of the data, with its implied
    // decimals applied): '.' for one beyond the letters, '\0' when the value
    // is not declared missing.
    char letterOf(double value) const;
};
StataMissing stataMissing(const std::vector<std::string>& reservedCodes, const DeclaredMissing& declared);

} // namespace qavn
