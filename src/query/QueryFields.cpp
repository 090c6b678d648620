// The table of query fields.

#include "query/QueryFields.h"

#include <algorithm>
#include <array>

namespace qavn {

namespace {

using K = Query::TermKind;

constexpr std::array fields{
    QueryField{"name", "", K::Text, queryfield::name, "the variable's name"},
    QueryField{"label", "", K::Text, queryfield::label, "its label"},
    QueryField{"description", "desc", K::Text, queryfield::description, "its description"},
    QueryField{"category", "cat", K::Text, queryfield::category, "its category lines (fields separated by a tab)"},
    QueryField{"section", "", K::Section, 0, "its section: a number (counted down the list) or a title"},
    QueryField{"file", "", K::File, 0, "its data file: a number or a file name"},
};

bool sameWord(std::string_view typed, std::string_view word)
{
    if (typed.size() != word.size() || word.empty())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = typed[i] >= 'A' && typed[i] <= 'Z' ? static_cast<char>(typed[i] - 'A' + 'a') : typed[i];
        if (c != word[i])
            return false;
    }
    return true;
}

} // namespace

std::span<const QueryField> queryFields()
{
    return fields;
}

const QueryField* findQueryField(std::string_view word)
{
    for (const QueryField& field : fields)
        if (sameWord(word, field.name) || sameWord(word, field.alias))
            return &field;
    return nullptr;
}

std::string queryFieldNames(bool textOnly)
{
    std::string names;
    for (const QueryField& field : fields) {
        if (textOnly && field.kind != K::Text)
            continue;
        names += (names.empty() ? "" : ", ") + std::string(field.name);
    }
    return names;
}

std::string queryFieldHelp()
{
    std::string text;
    for (const QueryField& field : fields) {
        std::string left = "  " + std::string(field.name) + ":";
        if (!field.alias.empty())
            left += " (" + std::string(field.alias) + ":)";
        left.resize(std::max<std::size_t>(left.size() + 1, 22), ' ');
        text += left + std::string(field.help) + "\n";
    }
    return text;
}

} // namespace qavn
