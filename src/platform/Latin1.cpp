// Latin-1 text converted to UTF-8, in one place.

#include "platform/Latin1.h"

#include <algorithm>

namespace qavn {

std::string latin1ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendLatin1AsUtf8(text, out);
    return out;
}

void appendLatin1AsUtf8(std::string_view text, std::string& out)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
}

std::size_t latin1Utf8Size(std::string_view text)
{
    return text.size() + static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
               return static_cast<unsigned char>(c) >= 0x80;
           }));
}

} // namespace qavn
