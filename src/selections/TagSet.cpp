// Sets of variable numbers and their AND, OR, NOT and MINUS.

#include "selections/TagSet.h"

#include "catalogue/VariableList.h"
#include "search/TagImport.h"

#include <array>
#include <utility>

namespace qavn {

TagSet TagSet::of(const VariableList& list)
{
    TagSet set(list.rowCount());
    list.forEachTagged([&](std::uint32_t row) {
        set.add(row);
        return true;
    });
    return set;
}

void TagSet::add(std::uint32_t number)
{
    if (number < 1 || number > variables_ || marks_[number - 1] != 0)
        return;
    marks_[number - 1] = 1;
    ++count_;
}

void TagSet::remove(std::uint32_t number)
{
    if (!contains(number))
        return;
    marks_[number - 1] = 0;
    --count_;
}

std::vector<std::uint32_t> TagSet::numbers() const
{
    std::vector<std::uint32_t> out;
    out.reserve(count_);
    for (std::uint32_t n = 1; n <= variables_; ++n)
        if (marks_[n - 1] != 0)
            out.push_back(n);
    return out;
}

void TagSet::applyTo(VariableList& list) const
{
    // Each stretch of rows that should all be tagged (or all untagged) is
    // set by one range from its first row that changes, so the list tells
    // its observer once per stretch rather than once per row: the
    // complement of a short selection over a million rows is a few
    // repaints.
    const std::uint32_t rows = list.rowCount();
    std::uint32_t r = 1;
    while (r <= rows) {
        const bool want = contains(r);
        std::uint32_t end = r;
        while (end < rows && contains(end + 1) == want)
            ++end;
        std::uint32_t first = r;
        while (first <= end && list.isTagged(first) == want)
            ++first;
        if (first <= end) {
            list.toggleTag(first); // now as wanted, and the anchor of the range
            if (end > first)
                list.tagRange(end);
        }
        r = end + 1;
    }
}

namespace {
constexpr std::array<std::pair<SetOperation, std::string_view>, 5> operationNames{{
    {SetOperation::Replace, "REPLACE"},
    {SetOperation::And, "AND"},
    {SetOperation::Or, "OR"},
    {SetOperation::Not, "NOT"},
    {SetOperation::Minus, "MINUS"},
}};
} // namespace

std::string_view operationName(SetOperation operation)
{
    for (const auto& [op, name] : operationNames)
        if (op == operation)
            return name;
    return {};
}

std::optional<SetOperation> parseOperation(std::string_view name)
{
    for (const auto& [op, known] : operationNames) {
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            char c = name[i];
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            same = c == known[i];
        }
        if (same)
            return op;
    }
    return std::nullopt;
}

void combine(TagSet& current, const TagSet& operand, SetOperation operation)
{
    const std::uint32_t variables = current.variables();
    TagSet result(variables);
    for (std::uint32_t n = 1; n <= variables; ++n) {
        const bool a = current.contains(n);
        const bool b = operand.contains(n);
        bool in = false;
        switch (operation) {
        case SetOperation::Replace:
            in = b;
            break;
        case SetOperation::And:
            in = a && b;
            break;
        case SetOperation::Or:
            in = a || b;
            break;
        case SetOperation::Not:
            in = !b;
            break;
        case SetOperation::Minus:
            in = a && !b;
            break;
        }
        if (in)
            result.add(n);
    }
    current = std::move(result);
}

ReadResult<TagImportReport> addTagFile(std::string_view path, TagSet& set)
{
    return readTagFile(path, set.variables(), [&set](long value) {
        if (value >= 1 && value <= static_cast<long>(set.variables()))
            set.add(static_cast<std::uint32_t>(value));
    });
}

} // namespace qavn
