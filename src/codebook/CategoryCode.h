#pragma once

// What the code of a category line stands for: the value a data field holds
// for it, and whether it is one of the reserved codes.

#include <string>
#include <string_view>

namespace qavn {

// Whether a code is a quoted text: an apostrophe at each end ('M', 'O''NEIL').
bool isQuotedCode(std::string_view code);

// The value a code stands for, the one place that reads a quoted code: blanks
// trimmed at both ends; a quoted text without its outer apostrophes and with
// each doubled apostrophe inside made single ('O''NEIL' -> O'NEIL, '' -> the
// empty text); any other code as it is written ("1", "-9", "1 - 99", ".").
// The text is the codebook's (Latin-1).
std::string categoryCodeValue(std::string_view code);

// Whether a category line holds one of the reserved codes: a code -1 to -9
// whose label starts with "{" ("{Valid skip}"). Both as the line writes them,
// blanks trimmed.
bool isReservedCategory(std::string_view code, std::string_view label);

// Whether a code stands for a missing value the raw data hold as a blank
// field: the system-missing "." and the special missing values ".a"-".z"
// (either case).
bool isBlankMissingCode(std::string_view code);

} // namespace qavn
