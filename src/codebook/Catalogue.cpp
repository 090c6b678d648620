// Values derived from a variable's record that every part of the program shares
// (row text, file number, type code).

#include "codebook/Catalogue.h"

namespace qavn {

void appendRowText(std::string& out, const VariableRecord& record, std::string_view label)
{
    const std::size_t significant = record.nameLength < 8 ? record.nameLength : 8;
    out.append(record.name.data(), significant);
    out.append(9 - significant, ' ');
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
