#pragma once

// Small text helpers shared by the core: white space, trimming, integers,
// numbers' trailing zeros, CSV fields, letter case.

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace qavn {

// White space as the C library's isspace sees it in the "C" locale.
constexpr bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

constexpr std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

constexpr char toUpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A number's text without the zeros that end its fraction, nor the point when
// nothing is left after it, and "-0" as "0"; a text with an exponent keeps its
// digits.
inline void dropTrailingZeros(std::string& text)
{
    if (text.find('.') != std::string::npos && text.find_first_of("eE") == std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
}

// One CSV field (RFC 4180) appended to `line`: as it is, or quoted, with its
// quotes doubled, when it holds a comma, a quote or a line end.
inline void appendCsvField(std::string& line, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

inline std::string upperAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = toUpperAscii(c);
    return out;
}

// A decimal integer read from the start of `s` as the C library's strtol
// reads it: leading white space skipped, an optional sign, digits up to the
// first non-digit. No digits give 0. Values beyond the range of T saturate.
// When `digitsFound` is given it tells whether any digit was read.
template <typename T = long>
T leadingInteger(std::string_view s, bool* digitsFound = nullptr)
{
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    // Magnitudes are gathered unsigned so that the most negative value of T
    // is reached without overflow.
    const std::uint64_t limit =
        negative ? static_cast<std::uint64_t>(-(static_cast<std::int64_t>(std::numeric_limits<T>::min()) + 1)) + 1
                 : static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    std::uint64_t value = 0;
    bool any = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        any = true;
        const auto digit = static_cast<std::uint64_t>(s[i] - '0');
        const bool overflows = value > limit / 10 || (value == limit / 10 && digit > limit % 10);
        value = overflows ? limit : value * 10 + digit;
    }
    if (digitsFound)
        *digitsFound = any;
    if (value > limit)
        value = limit;
    if (!negative)
        return static_cast<T>(value);
    if (value == 0)
        return 0;
    return static_cast<T>(-static_cast<std::int64_t>(value - 1) - 1);
}

} // namespace qavn
