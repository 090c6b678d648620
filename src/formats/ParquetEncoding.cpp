// The RLE / bit-packing hybrid, plain numbers and UTF-8 checks of the
// Parquet writer.
#include "formats/ParquetEncoding.h"

#include "formats/ThriftCompact.h"

#include <algorithm>
#include <bit>

namespace qavn {

int bitWidthFor(std::uint64_t maxValue)
{
    return static_cast<int>(std::bit_width(maxValue));
}

namespace {

template <typename T>
void appendRuns(std::string& out, std::span<const T> values, int bitWidth)
{
    const std::size_t n = values.size();
    const std::size_t valueBytes = static_cast<std::size_t>(bitWidth + 7) / 8;

    // Values [from, to) as bit-packed groups of eight, the last one padded.
    auto packed = [&](std::size_t from, std::size_t to) {
        if (from == to)
            return;
        const std::size_t groups = (to - from + 7) / 8;
        appendVarint(out, (static_cast<std::uint64_t>(groups) << 1) | 1);
        std::uint64_t bits = 0;
        int held = 0;
        for (std::size_t i = from; i < from + groups * 8; ++i) {
            const std::uint64_t v = i < to ? static_cast<std::uint64_t>(values[i]) : 0;
            bits |= v << held;
            held += bitWidth;
            while (held >= 8) {
                out.push_back(static_cast<char>(bits & 0xFF));
                bits >>= 8;
                held -= 8;
            }
        }
    };

    // A run is looked for only where a group of eight would start, so the
    // bit-packed runs between the RLE runs stay whole groups. A page holds
    // far fewer than 2^31 values, the longest run the format allows.
    std::size_t literalFrom = 0;
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && values[i + run] == values[i])
            ++run;
        if (run >= 8) {
            packed(literalFrom, i);
            appendVarint(out, static_cast<std::uint64_t>(run) << 1);
            const auto v = static_cast<std::uint32_t>(values[i]);
            for (std::size_t b = 0; b < valueBytes; ++b)
                out.push_back(static_cast<char>((v >> (8 * b)) & 0xFF));
            i += run;
            literalFrom = i;
        } else {
            i = std::min(i + 8, n);
        }
    }
    packed(literalFrom, n);
}

} // namespace

void appendRleHybrid(std::string& out, std::span<const std::uint8_t> values, int bitWidth)
{
    appendRuns(out, values, bitWidth);
}

void appendRleHybrid(std::string& out, std::span<const std::uint32_t> values, int bitWidth)
{
    appendRuns(out, values, bitWidth);
}

std::size_t invalidUtf8At(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        // Eight ASCII bytes at a time: the usual case of survey text.
        if (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ULL) == 0) {
                i += 8;
                continue;
            }
        }
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0)
                low = 0xA0; // no overlong form
            else if (c == 0xED)
                high = 0x9F; // no surrogate
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F; // nothing above U+10FFFF
        } else {
            return i;
        }
        if (i + length > n)
            return i;
        if (p[i + 1] < low || p[i + 1] > high)
            return i;
        for (std::size_t k = 2; k < length; ++k)
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        i += length;
    }
    return std::string_view::npos;
}

std::string_view utf8Prefix(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

bool utf8UpperBound(std::string_view text, std::size_t limit, std::string& bound)
{
    const std::string_view prefix = utf8Prefix(text, limit);
    for (std::size_t k = prefix.size(); k-- > 0;) {
        const auto c = static_cast<unsigned char>(prefix[k]);
        if (c < 0x7F) {
            bound.assign(prefix.substr(0, k));
            bound.push_back(static_cast<char>(c + 1));
            return true;
        }
    }
    return false;
}

} // namespace qavn
