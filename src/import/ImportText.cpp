// Text of the import: Latin-1, short names and numbers as the raw data hold them.
#include "import/ImportText.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace qavn {

std::string toLatin1(std::string_view utf8, bool codebookText, std::uint64_t& replaced)
{
    // Most text is printable ASCII, the same in both.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code = b;
        std::size_t length = 1;
        if (b >= 0x80) {
            length = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
            bool valid = length != 0 && i + length <= utf8.size();
            if (valid) {
                code = b & (0x7Fu >> length);
                for (std::size_t k = 1; k < length && valid; ++k) {
                    const auto c = static_cast<unsigned char>(utf8[i + k]);
                    valid = (c & 0xC0) == 0x80;
                    code = (code << 6) | (c & 0x3Fu);
                }
            }
            if (!valid) {
                length = 1;
                code = 0xFFFFFFFF;
            }
        }
        i += length;
        const bool bad = code > 0xFF || code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0) ||
                         (codebookText && (code == 0xDB || code == 0xDC || code == 0xFF));
        if (bad) {
            out.push_back('?');
            ++replaced;
        } else {
            out.push_back(static_cast<char>(code));
        }
    }
    return out;
}

namespace {

std::string upper(std::string_view s)
{
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return std::toupper(c); });
    return u;
}

// Words the generated programs cannot take as variable names.
bool reservedWord(std::string_view upperName)
{
    static constexpr std::string_view words[] = {"ALL", "AND", "BY", "EQ", "GE", "GT", "LE",
                                                 "LT",  "NE",  "NOT", "OR", "TO", "WITH"};
    return std::find(std::begin(words), std::end(words), upperName) != std::end(words);
}

} // namespace

bool NameShortener::taken(std::string_view name) const
{
    const std::string u = upper(name);
    return reservedWord(u) || upper_.count(u) != 0;
}

void NameShortener::reserve(std::string_view name)
{
    upper_.insert(upper(name));
}

std::string NameShortener::add(std::string_view original)
{
    std::string base;
    for (char c : original) {
        const auto u = static_cast<unsigned char>(c);
        base.push_back(std::isalnum(u) != 0 && u < 0x80 ? c : '_');
    }
    if (base.empty() || (base[0] >= '0' && base[0] <= '9'))
        base.insert(base.begin(), 'V');
    std::string name = base.substr(0, 8);
    if (taken(name)) {
        // Numbers below the last one given for this start are taken already.
        unsigned& n = nextNumber_[upper(name)];
        do {
            const std::string suffix = "_" + std::to_string(++n);
            name = base.substr(0, 8 - suffix.size()) + suffix;
        } while (taken(name));
    }
    upper_.insert(upper(name));
    return name;
}

std::string numberText(double value, int decimals)
{
    char buffer[400];
    // Fixed notation always (100000, never 1e+05): the raw data's readers
    // take digits and a point, not exponents.
    const auto result = decimals < 0 ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed)
                                     : std::to_chars(buffer, buffer + sizeof buffer, value,
                                                     std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text == "-0" || (text.starts_with("-0.") && text.find_first_not_of("0.", 1) == std::string::npos))
        text.erase(0, 1);
    return text;
}

NumberShape plainShape(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    NumberShape shape;
    if (text.find('e') != std::string_view::npos) {
        // Rare (100000 is "1e+05" here): the plain form written out.
        const std::string plain = numberText(value, -1);
        const std::size_t point = plain.find('.');
        shape.intLength = point == std::string::npos ? plain.size() : point;
        shape.decimals = point == std::string::npos ? 0 : static_cast<int>(plain.size() - point - 1);
        return shape;
    }
    const std::size_t point = text.find('.');
    // "-0" is written as "0" (see numberText).
    shape.intLength = point == std::string_view::npos ? (text == "-0" ? 1 : text.size()) : point;
    shape.decimals = point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
    return shape;
}

} // namespace qavn
