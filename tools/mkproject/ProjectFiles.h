#pragma once

// The project maker's limits on columns and raw lines, and writing its files.

#include "codebook/ProjectFiles.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn::mkproject {

// Column limits of the raw data. A raw line, its CR LF included, must stay
// within the 14,999 characters that readers take as one line; a location is
// stored in 9 characters, so automatic layout keeps to 4-digit columns.
constexpr int maxRawColumn = 14997;
constexpr int maxLayoutColumn = 9999;
constexpr int maxValueWidth = 7999;
constexpr int maxRecordLines = 255;
// A codebook text line holds at most 80 characters.
constexpr std::size_t maxTextLine = 80;

// A column location "first-last" or "first" (digits only, 1-based).
struct Columns {
    int first = 0;
    int last = 0;
    int width() const { return last - first + 1; }
};
std::optional<Columns> parseLocation(std::string_view text);
std::string locationText(Columns columns);

// A project ID usable in file names and on the command line: 1-8 letters,
// digits or underscores. Returns the reason when it is not.
std::optional<std::string> badProjectId(std::string_view id);

// A variable name: 1-8 letters, digits or underscores, not starting with a digit.
std::optional<std::string> badVariableName(std::string_view name);

// Converts UTF-8 text to the codebook's single-byte (Latin-1) text. Fails for
// characters beyond U+00FF, control characters and the bytes 0xDB, 0xDC and
// 0xFF that the text file reserves.
std::optional<std::string> toCodebookText(std::string_view utf8, std::string& error);

} // namespace qavn::mkproject
