#pragma once

// What the raw fields and category codes of one variable mean: their value,
// their label, and whether they are missing.

#include "project/ProjectMetadata.h"
#include "tables/Tabulation.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;

// The rules of one variable, read once from its record, its category lines
// and its metadata (declared missing values, long name):
// - a field is trimmed; a blank field of a numeric variable is system
//   missing (labelled by a "." category line when there is one), a blank
//   text is the empty text;
// - a field of a numeric variable that reads as a number is that number,
//   its implied decimals applied when it has no point of its own, except a
//   reserved code (-1..-9 with a label in braces), which is kept as written;
//   any other field is its text;
// - missing: a reserved code, a declared missing code or range (numbers
//   compared by value, texts as written) or a blank number;
// - a label is the category line's whose code matches (numbers by value in
//   the raw data's units, texts as the codebook can write them).
class VariableRules {
public:
    // `variable` must lie in 1..store.recordCount().
    VariableRules(std::uint32_t variable, CodebookStore& store, const ProjectMetadata* metadata);

    std::uint32_t variable() const { return variable_; }
    const std::string& name() const { return name_; }
    bool isText() const { return typeCode_ == 'A'; }
    int decimals() const { return typeCode_ >= '1' && typeCode_ <= '9' ? typeCode_ - '0' : 0; }

    // The axis of a table of this variable, without categories.
    TableAxis axis() const;

    // The category a raw field stands for.
    TableCategory category(std::string_view raw) const;

    // The value of a weight field; nothing when it cannot weigh a case
    // (blank, not a number, missing, negative).
    std::optional<double> weight(std::string_view raw) const;

    // The key a category line's code (as written: "'M'", "09") is matched
    // by with the raw fields; TableCategory::code holds the raw field's.
    std::string codeKey(std::string_view code) const;
    // Whether a category line's code stands for a missing value (a "." code
    // for a blank number counts as one).
    bool codeIsMissing(std::string_view code) const;

private:
    std::string fieldKey(std::string_view value) const;
    std::string lookUp(std::string_view value) const;
    bool isReserved(std::string_view value) const;
    bool isDeclaredMissing(double number) const;
    bool isDeclaredMissing(std::string_view text) const;

    std::uint32_t variable_;
    std::string name_;
    std::string header_;
    std::string label_;
    char typeCode_ = ' ';
    std::map<std::string, std::string> labels_; // codeKey -> label
    std::vector<std::string> reserved_;
    std::vector<MissingValue> declared_;
    std::vector<std::string> declaredTexts_; // the text codes of declared_, in Latin-1
    std::string blankLabel_;
    bool hasBlankLabel_ = false;
};

} // namespace qavn
