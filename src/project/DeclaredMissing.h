#pragma once

// The missing values a source declared for a variable (the project's
// metadata), in the form the outputs test the data against.

#include <string>
#include <string_view>
#include <vector>

namespace qavn {

struct VariableMetadata;

// A variable's declared missing values: codes and ranges of a number
// variable, codes of a text variable, each with its label (may be empty).
// The tagged missing values of Stata and SAS (.a-.z) are no part of it: the
// raw data hold them as blank fields, which every output takes as missing
// already.
struct DeclaredMissing {
    struct Code {
        double value = 0;
        std::string label; // UTF-8
    };
    struct Range {
        double low = 0;  // -HUGE_VAL: the lowest
        double high = 0; // HUGE_VAL: the highest
        std::string label;
    };
    struct Text {
        std::string value; // UTF-8, as the field holds it once its blanks are trimmed
        std::string label;
    };

    std::vector<Code> codes;
    std::vector<Range> ranges;
    std::vector<Text> texts;

    bool empty() const { return codes.empty() && ranges.empty() && texts.empty(); }
    bool hasNumbers() const { return !codes.empty() || !ranges.empty(); }
    // Whether a number is one of the codes or lies in one of the ranges.
    bool covers(double value) const;
    // Whether a text (UTF-8) is one of the text codes.
    bool coversText(std::string_view value) const;
    // The label of the code, or of the range a number lies in; empty when
    // none is declared.
    std::string labelOf(double value) const;

    // The declared missing values of `variable` (none for nullptr).
    static DeclaredMissing of(const VariableMetadata* variable);
};

} // namespace qavn
