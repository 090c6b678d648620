#pragma once

// The text the description window shows for a variable, which the search also
// searches.

#include "codebook/VariableRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace qavn {

class CodebookStore;

// The text the description window shows for a variable, and that the search
// in descriptions of at most 800 lines searches.
//
// The description lines are read in order with the display-text reader; each
// line (fillers dropped, every other byte kept) is followed by CR LF. As soon
// as the text is longer than `descriptionTextLimit` characters after a line,
// reading stops there and a notice is appended that names the variable and
// says how many lines were left out:
//
//   "\r\n????????????????????\r\n\r\n"
//   "Sorry, Cannot Display Any More ! \r\nData is Too Big to be Displayed on This Window. \r\n"
//   "This Variable(<name>) Has <n> Lines of Description. \r\nSo Far, <i> Lines Are Displayed.\r\n"
//   "<n - i> Lines of Description Cannot be Displayed.\r\n"
//   "Use Output Option to Check All Description.\r\n"
//   "\r\n????????????????????"
//
// Uses the store's text reader, so the store's line buffer is overwritten.
inline constexpr std::size_t descriptionTextLimit = 32000;

std::string descriptionText(CodebookStore& store, const VariableRecord& record);

// The notice alone, for a variable `name` with `lineCount` description lines
// of which `shownLines` were shown.
std::string descriptionNotice(std::string_view name, std::uint32_t lineCount, std::uint32_t shownLines);

// The whole description as one Latin-1 text for the outputs that carry it as
// a value: every line, joined by a line break (LF), with blanks and CRs at
// the ends of lines and blank lines at the end dropped. Empty when the
// description holds no text. Overwrites the store's line buffer.
std::string descriptionJoined(CodebookStore& store, const VariableRecord& record);

} // namespace qavn
