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
    // Runs of ASCII, most of any text, go in with one append each.
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t ascii = i;
        while (ascii < text.size() && static_cast<unsigned char>(text[ascii]) < 0x80)
            ++ascii;
        out.append(text.data() + i, ascii - i);
        if (ascii == text.size())
            break;
        const auto byte = static_cast<unsigned char>(text[ascii]);
        const char pair[2] = {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
        out.append(pair, 2);
        i = ascii + 1;
    }
}

std::size_t latin1Utf8Size(std::string_view text)
{
    return text.size() + static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
               return static_cast<unsigned char>(c) >= 0x80;
           }));
}

bool utf8ToLatin1(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += text[i];
            continue;
        }
        // Two bytes, C2 or C3 and a continuation byte: U+0080 to U+00FF.
        if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size() ||
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80)
            return false;
        out += static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        ++i;
    }
    return true;
}

bool isValidUtf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const std::size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || i + n > s.size() || (n == 2 && b < 0xC2))
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

} // namespace qavn
