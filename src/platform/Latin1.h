#pragma once

// Latin-1 text converted to UTF-8, in one place.

#include <cstddef>
#include <string>
#include <string_view>

namespace qavn {

// The project files and raw data hold Latin-1 text; the outputs that want
// UTF-8 (CSV, SQLite, SPSS and Stata data files, DDI, the program files)
// convert it with these. Every byte maps to one code point, so nothing fails.

// Latin-1 bytes as UTF-8.
std::string latin1ToUtf8(std::string_view text);

// Appends `text` as UTF-8 to `out`, for a loop that keeps one buffer from
// value to value.
void appendLatin1AsUtf8(std::string_view text, std::string& out);

// How many bytes latin1ToUtf8() makes of `text`.
std::size_t latin1Utf8Size(std::string_view text);

// UTF-8 text as Latin-1 into `out`; false (with `out` unspecified) when it
// holds a character Latin-1 has not, or is no valid UTF-8.
bool utf8ToLatin1(std::string_view text, std::string& out);

// Whether `text` is valid UTF-8 (no overlong two-byte forms).
bool isValidUtf8(std::string_view text);

} // namespace qavn
