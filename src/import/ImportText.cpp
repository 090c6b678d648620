// Text of the import: Latin-1, short names and numbers as the raw data hold them.
#include "import/ImportText.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

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

std::string_view latin1View(std::string_view utf8, bool codebookText, std::string& storage, std::uint64_t& replaced)
{
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return utf8;
    storage = toLatin1(utf8, codebookText, replaced);
    return storage;
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

namespace {

// Whole numbers of 128 bits, which GCC and Clang provide.
__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t powersOfTen[] = {1,
                                         10,
                                         100,
                                         1000,
                                         10000,
                                         100000,
                                         1000000,
                                         10000000,
                                         100000000,
                                         1000000000,
                                         10000000000,
                                         100000000000,
                                         1000000000000,
                                         10000000000000,
                                         100000000000000,
                                         1000000000000000,
                                         10000000000000000,
                                         100000000000000000,
                                         1000000000000000000};

// The decimal digits of n, at least `least` of them (zeros before).
char* writeDigits(char* out, std::uint64_t n, int least)
{
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (count < least)
        digits[count++] = '0';
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

int digitCount(std::uint64_t n)
{
    int count = 1;
    while (count < 19 && n >= powersOfTen[count])
        ++count;
    return n >= powersOfTen[18] * 10 ? 20 : count;
}

// The library's fixed notation with `decimals` decimals (the exact binary
// value rounded half to even), as a dash of "-0.00" stripped.
char* libraryNumber(char* buffer, double value, int decimals)
{
    // Fixed notation always (100000, never 1e+05): the raw data's readers
    // take digits and a point, not exponents.
    char* end = (decimals < 0 ? std::to_chars(buffer, buffer + numberBufferSize, value, std::chars_format::fixed)
                              : std::to_chars(buffer, buffer + numberBufferSize, value, std::chars_format::fixed,
                                              decimals))
                    .ptr;
    if (buffer[0] == '-' && std::all_of(buffer + 1, end, [](char c) { return c == '0' || c == '.'; })) {
        std::memmove(buffer, buffer + 1, static_cast<std::size_t>(end - buffer - 1));
        --end;
    }
    return end;
}

} // namespace

char* writeNumber(char* buffer, double value, int decimals)
{
    const double magnitude = std::fabs(value);
    // Below 2^64 with up to nine decimals the digits are worked out here, in
    // whole numbers: the same text as the library's, many times faster.
    if (decimals < 0 || decimals > 9 || !(magnitude < 18446744073709551616.0))
        return libraryNumber(buffer, value, decimals);
    std::uint64_t whole = static_cast<std::uint64_t>(magnitude);
    std::uint64_t fraction = 0; // the decimals as a whole number
    const double part = magnitude - static_cast<double>(whole); // exact
    if (part != 0) {
        // part = mantissa * 2^-shift exactly; times 10^decimals, rounded to
        // a whole number half to even.
        std::uint64_t bits = 0;
        std::memcpy(&bits, &part, sizeof bits);
        const int exponent = static_cast<int>(bits >> 52);
        const int shift = 1075 - exponent; // at least 53, as part < 1
        if (exponent != 0 && shift < 128) {
            const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
            const Wide scaled = static_cast<Wide>(mantissa) * powersOfTen[decimals];
            fraction = static_cast<std::uint64_t>(scaled >> shift);
            const Wide rest = scaled - (static_cast<Wide>(fraction) << shift);
            const Wide half = static_cast<Wide>(1) << (shift - 1);
            const std::uint64_t last = decimals == 0 ? whole : fraction;
            if (rest > half || (rest == half && (last & 1) != 0)) {
                if (++fraction == powersOfTen[decimals]) {
                    fraction = 0;
                    ++whole;
                }
            }
        }
    }
    char* out = buffer;
    if (std::signbit(value) && (whole != 0 || fraction != 0))
        *out++ = '-';
    out = writeDigits(out, whole, 1);
    if (decimals > 0) {
        *out++ = '.';
        out = writeDigits(out, fraction, decimals);
    }
    return out;
}

std::string numberText(double value, int decimals)
{
    char buffer[numberBufferSize];
    return std::string(buffer, writeNumber(buffer, value, decimals));
}

NumberShape plainShape(double value)
{
    NumberShape shape;
    const double magnitude = std::fabs(value);
    // The shortest digits that read back as the value have the fewest
    // decimals that do: tried one by one while the scaled value is exact
    // enough (below 2^50) for the rounding to find the only candidate.
    if (magnitude < 1125899906842624.0) {
        const auto whole = static_cast<std::uint64_t>(magnitude);
        shape.intLength = static_cast<std::size_t>(digitCount(whole)) + (value < 0 ? 1 : 0);
        if (static_cast<double>(whole) == magnitude)
            return shape;
        for (int decimals = 1; decimals <= 18; ++decimals) {
            const double scale = static_cast<double>(powersOfTen[decimals]);
            const double scaled = magnitude * scale;
            if (!(scaled < 1125899906842624.0))
                break;
            if (std::nearbyint(scaled) / scale == magnitude) {
                shape.decimals = decimals;
                return shape;
            }
        }
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
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
