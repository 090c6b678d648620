#pragma once

// The lines of a variable's frequency view with what its bars and summary
// need: from the codebook's category lines, or weighted from the raw data.

#include "tables/Tabulation.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qavn {

class CodebookStore;
class ProjectMetadata;

// One line of the frequency view. Texts are Latin-1.
struct FrequencyLine {
    std::string code;      // as the category line writes it; a value without a line as the data hold it
    std::string frequency; // as shown: the line's own, or the weighted sum
    std::string percent;
    std::string label;
    double amount = 0;     // what the bar shows: the frequency as a number (0 when it is none)
    bool missing = false;  // a missing value (a declared one, a reserved code, a blank number)
    bool inCodebook = true; // false for a value of the data without a category line
};

struct FrequencyLines {
    std::vector<FrequencyLine> lines;
    double valid = 0;   // sums of the amounts of the lines that are not missing, of those that are,
    double missing = 0; // and of all
    double total = 0;
    std::string weightName;         // the weight's name when the lines are weighted; empty otherwise
    std::uint64_t badWeightCases = 0; // cases the weight could not weigh (left out)
    bool cancelled = false;         // the weighted sums cover part of the data

    bool weighted() const { return !weightName.empty(); }
};

// The category lines of `variable` as the codebook writes them, with the
// amount of each read from its frequency and its missing flag from the
// variable's rules (see VariableRules).
FrequencyLines codebookFrequencies(std::uint32_t variable, CodebookStore& store, const ProjectMetadata* metadata);

// The category lines of a weighted frequency table's variable (counted with
// MissingValues::Include), each with the weighted sum of the cases whose
// field holds its code (a "." line: the blank fields; a code written twice:
// both lines), the percent of the weighted total to one decimal, then one
// line for each value of the data that no category line has.
FrequencyLines weightedFrequencies(const Tabulation& table, CodebookStore& store, const ProjectMetadata* metadata);

// The summary under the lines: "Valid 750 (93.8%)   Missing 50 (6.3%)   Total
// 800", weighted sums with the weight's name before them ("Weighted by WT:
// ..."), and the cases the weight left out.
std::string frequencySummary(const FrequencyLines& lines);

} // namespace qavn
