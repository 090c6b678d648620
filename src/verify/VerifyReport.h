#pragma once

// The verification's report: its differences, unlabelled values and figures, and
// its lines.

#include <cstdint>
#include <string>
#include <vector>

namespace qavn {

// A category line whose stated frequency or percent does not agree with the
// count of its code in the raw data.
struct CategoryDifference {
    std::uint32_t variable = 0; // the variable's number
    std::string name;
    std::string code;            // as the category line writes it, trimmed
    std::string statedFrequency; // the line's fields as written, trimmed
    std::string statedPercent;
    std::uint64_t counted = 0;
    std::string countedPercent;  // to the decimals of the stated percent (at least one)
    bool frequencyDiffers = false;
    bool percentDiffers = false;
};

// A value the raw data hold for a variable that has no category line for it.
struct UnlabelledValue {
    std::uint32_t variable = 0;
    std::string name;
    std::string value; // trimmed; empty for blank fields
    std::uint64_t count = 0;
};

// Cases of a variable that hold further values without a category line,
// beyond the distinct values listed one by one.
struct UnlabelledRest {
    std::uint32_t variable = 0;
    std::string name;
    std::uint64_t cases = 0;
};

// The figures of a variable without category lines. Numbers are the trimmed
// fields that read as a decimal number (an optional sign, digits, at most one
// decimal point), with the implied decimals of the type code applied to those
// written without a point; every other field is blank or non-numeric.
struct ValueFigures {
    std::uint64_t cases = 0;
    std::uint64_t count = 0; // fields holding a number
    std::uint64_t blankOrNonNumeric = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double standardDeviation = 0; // with count - 1 in the divisor; 0 below two numbers
};

struct VariableFiguresEntry {
    std::uint32_t variable = 0;
    std::string name;
    char typeCode = ' ';
    ValueFigures figures;
};

struct CheckedDataFile {
    std::string name; // as the program shows it ("D:\DATA\YOUTH97.DAT")
    std::uint64_t cases = 0;
};

// What a check of the codebook against the raw data found. Lists are in
// variable order, the differences of one variable in category-line order.
struct VerifyReport {
    std::string projectId;
    std::string scope; // what was checked, for the heading ("the 12 tagged variables"); may be empty
    std::vector<CheckedDataFile> files;
    std::vector<CategoryDifference> differences;
    std::vector<UnlabelledValue> unlabelled;
    std::vector<UnlabelledRest> unlabelledRest;
    std::vector<VariableFiguresEntry> figures;
    std::uint64_t variablesWithCategories = 0;
    std::uint64_t categoryLines = 0;
    bool cancelled = false; // stopped before the end: the lists cover part of the data

    // No difference and no value without a category line.
    bool agrees() const { return differences.empty() && unlabelled.empty() && unlabelledRest.empty(); }
};

// The report as lines of text: one per difference and per value without a
// category line, the figures of the variables without category lines, then
// the summary.
std::vector<std::string> verifyReportLines(const VerifyReport& report);

// One number as the report writes it: at most 10 significant digits, no
// exponent for magnitudes the data hold, "-0" written as "0".
std::string figureText(double value);

// The figures as "label: value" lines for a frequency view.
std::vector<std::string> figuresLines(const ValueFigures& figures);

} // namespace qavn
