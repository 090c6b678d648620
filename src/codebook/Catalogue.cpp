// Values derived from a variable's record that every part of the program shares
// (row text, file number, type code).

#include "codebook/Catalogue.h"

#include <cstring>

namespace qavn {

void appendRowText(std::string& out, const VariableRecord& record, std::string_view label)
{
    // The padded name goes in with one append: loading does this a million
    // times.
    const std::size_t significant = record.nameLength < 8 ? record.nameLength : 8;
    char name[9];
    std::memcpy(name, record.name.data(), significant);
    std::memset(name + significant, ' ', 9 - significant);
    out.append(name, 9);
    if (!label.empty())
        out.append(label);
}

std::string rowText(const VariableRecord& record, std::string_view label)
{
    std::string text;
    text.reserve(9 + label.size());
    appendRowText(text, record, label);
    return text;
}

} // namespace qavn
