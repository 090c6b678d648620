#pragma once

// Values derived from a variable's record that every part of the program shares
// (row text, file number, type code).

#include "codebook/VariableRecord.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qavn {

// Values derived from a variable's record, shared by every part of the
// program that speaks of variables. Variable number = index-file record
// number = row number, 1-based.

// The name padded with blanks to 9 characters, then the label: a name of 8
// characters is always followed by one blank.
std::string rowText(const VariableRecord& record, std::string_view label);
// Appends the row text to `out` without building a temporary.
void appendRowText(std::string& out, const VariableRecord& record, std::string_view label);

// typeCode in bits 16 to 23, fileNumber in bits 0 to 15.
constexpr std::uint32_t rowData(char typeCode, std::uint16_t fileNumber)
{
    return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(typeCode)) << 16) | fileNumber;
}
constexpr std::uint16_t fileNumberOf(std::uint32_t rowData)
{
    return static_cast<std::uint16_t>(rowData & 0xFFFF);
}
constexpr char typeCodeOf(std::uint32_t rowData)
{
    return static_cast<char>((rowData >> 16) & 0xFF);
}

} // namespace qavn
