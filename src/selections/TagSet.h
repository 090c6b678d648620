#pragma once

// Sets of variable numbers and their AND, OR, NOT and MINUS.

#include "platform/ReadError.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qavn {

class VariableList;
struct TagImportReport;

// A set of variable numbers of one project, 1..variables(). Numbers outside
// that range are ignored by every operation.
class TagSet {
public:
    explicit TagSet(std::uint32_t variables = 0) : marks_(variables, 0), variables_(variables) {}

    // The tags the list holds now.
    static TagSet of(const VariableList& list);

    std::uint32_t variables() const { return variables_; }
    std::uint32_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool contains(std::uint32_t number) const
    {
        return number >= 1 && number <= variables_ && marks_[number - 1] != 0;
    }
    void add(std::uint32_t number);
    void remove(std::uint32_t number);
    // The numbers in ascending order.
    std::vector<std::uint32_t> numbers() const;

    // Makes the list's tags exactly this set, a stretch of rows at a time
    // (the list's anchor moves). The set must have as many variables as the
    // list has rows.
    void applyTo(VariableList& list) const;

    friend bool operator==(const TagSet&, const TagSet&) = default;

private:
    std::vector<std::uint8_t> marks_;
    std::uint32_t variables_ = 0;
    std::uint32_t count_ = 0;
};

// How a set joins the tags there are: Replace takes it as it is, And keeps
// what both hold, Or what either holds, Not every variable the set does not
// hold (the current tags play no part), Minus the current tags without the
// set's.
enum class SetOperation { Replace, And, Or, Not, Minus };

// The operation's name as menus and the command line write it ("AND"), and
// back (any letter case); nothing for an unknown name.
std::string_view operationName(SetOperation operation);
std::optional<SetOperation> parseOperation(std::string_view name);

// current = current <operation> operand. Both must be sets of the same
// project (the same number of variables).
void combine(TagSet& current, const TagSet& operand, SetOperation operation);

// Reads a tag file as Import Tag Files reads it (a number at the start of
// each line; lines naming no variable of the set's project tag nothing and
// are listed in the report) and adds its numbers to `set`. Fails only when
// the file cannot be opened.
ReadResult<TagImportReport> addTagFile(std::string_view path, TagSet& set);

} // namespace qavn
