// Text of the import: Latin-1 conversion, short names, numbers as the raw data hold them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace qavn {

// Converts UTF-8 to the single-byte Latin-1 text of codebooks and raw data.
// A character Latin-1 cannot hold, a control character, a byte that is not
// UTF-8, and (for codebook text) the bytes 0xDB, 0xDC and 0xFF the text file
// reserves become '?'; `replaced` counts them.
std::string toLatin1(std::string_view utf8, bool codebookText, std::uint64_t& replaced);
// The same without a copy for printable ASCII (the text itself); any other
// text is converted into `storage`, which the view then shows.
std::string_view latin1View(std::string_view utf8, bool codebookText, std::string& storage, std::uint64_t& replaced);

// Unique variable names of at most 8 characters. A name is made of letters,
// digits and underscores and does not start with a digit (other characters
// become '_', a leading digit gets a 'V' before it); a longer name is cut to
// 8 characters, and a name already taken (ignoring letter case) or reserved
// ends in the smallest number that makes it unique: LONGNAME, LONGNA_1 ...
class NameShortener {
public:
    // The short name for `original`, taken from now on.
    std::string add(std::string_view original);
    // Marks a name as taken without adding a variable (ID, the identifier
    // the generated programs read).
    void reserve(std::string_view name);

private:
    bool taken(std::string_view name) const;
    std::unordered_set<std::string> upper_;                  // names taken, in capitals
    std::unordered_map<std::string, unsigned> nextNumber_; // last number given per 8-character start
};


// A number as written into raw data, always in plain decimal notation: with
// exactly `decimals` decimals, or, for decimals < 0, with as few decimals as
// read back as the same double (100000, 0.1, never 1e+05).
std::string numberText(double value, int decimals);

// numberText() written into `buffer` (numberBufferSize bytes) without a
// string, for the raw data's every value; returns the end of the text.
inline constexpr std::size_t numberBufferSize = 400;
char* writeNumber(char* buffer, double value, int decimals);

// The shape of numberText(value, -1): the characters before the point (a
// minus sign included) and the decimals after it. Found from the shortest
// digits without writing the plain form out, which the import does for
// every value of a column.
struct NumberShape {
    std::size_t intLength = 1;
    int decimals = 0;
    std::size_t length() const { return intLength + (decimals > 0 ? static_cast<std::size_t>(decimals) + 1 : 0); }
};
NumberShape plainShape(double value);

} // namespace qavn
