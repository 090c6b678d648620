#pragma once

// How the statistics packages show a numeric variable: the display format
// the project's metadata gives it (numbers, currency, separators, dates,
// times and moments), and how its raw numbers become the package's when the
// source counted dates from another day or in another unit. Shared by the
// data files (.sav, .dta) and the programs (PSPP, Stata).

#include <cstdint>
#include <string>
#include <string_view>

namespace qavn {

struct VariableMetadata;

enum class Package { Spss, Stata };

// A raw number as the package holds it: x * scale / divisor + shift (whole
// numbers, so that a whole count of seconds gives a whole count of days).
struct ValueConversion {
    double scale = 1;
    double divisor = 1;
    double shift = 0;

    double operator()(double value) const { return value * scale / divisor + shift; }
    bool identity() const { return scale == 1 && divisor == 1 && shift == 0; }
};

struct PackageFormat {
    std::string text; // "F8.2", "DOLLAR12.2", "DATE11", "%9.2fc", "%td"
    int width = 8;    // display width
    ValueConversion conversion;
    bool fromMetadata = false; // the metadata gave the format (else the field's F<w>.<d>)
};

// The format of a numeric variable whose field is `width` wide (room for the
// point included) with `decimals` implied decimals: the display format of
// `metadata` where the package shows it, dates, times and moments as real
// ones converted from the source's count to the package's (SPSS counts
// seconds from 1582-10-14, Stata days (%td) or milliseconds (%tc) from
// 1960-01-01); else F<w>.<d> / %<w>.<d>f.
PackageFormat packageFormat(const VariableMetadata* metadata, int width, int decimals, Package package);

// The conversion as an expression of the programs on `name`
// ("d / 86400 - 137775").
std::string conversionExpression(const std::string& name, const ValueConversion& conversion);

// The days from 1970-01-01 of a "YYYY-MM-DD" text of the proleptic
// Gregorian calendar, or false.
bool daysOf(std::string_view date, std::int64_t& days);

} // namespace qavn
