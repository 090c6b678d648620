// The value encodings of a Parquet data page that the writer builds: the
// RLE / bit-packing hybrid of definition levels and dictionary indices, plain
// little-endian numbers, and the check that a text is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace qavn {

// The bits needed to write every value from 0 to `maxValue` (0 for 0).
int bitWidthFor(std::uint64_t maxValue);

// Appends `values` (each below 2^bitWidth, bitWidth 1..32) in the RLE /
// bit-packing hybrid encoding, without the 4-byte length that definition
// levels carry in front: a run of eight or more equal values starting on a
// group boundary becomes one RLE run (the count, then the value in
// ceil(bitWidth / 8) bytes); everything else goes into bit-packed runs of
// groups of eight values, lowest bit first. The last group is padded with
// zeros; the page's value count tells a reader where the values end.
void appendRleHybrid(std::string& out, std::span<const std::uint8_t> values, int bitWidth);
void appendRleHybrid(std::string& out, std::span<const std::uint32_t> values, int bitWidth);

// Plain encoding: little-endian two's complement and IEEE 754.
inline void appendLittleEndian32(std::string& out, std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    out.append(bytes, 4);
}

inline void appendLittleEndian64(std::string& out, std::uint64_t value)
{
    appendLittleEndian32(out, static_cast<std::uint32_t>(value));
    appendLittleEndian32(out, static_cast<std::uint32_t>(value >> 32));
}

inline std::uint64_t doubleBits(double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The byte offset of the first byte in `text` that does not start or
// continue a well-formed UTF-8 sequence (overlong forms, surrogates and code
// points above U+10FFFF are not), or npos when the text is UTF-8.
std::size_t invalidUtf8At(std::string_view text);

// The largest prefix of `text` of at most `limit` bytes that ends on a
// character boundary (text assumed UTF-8).
std::string_view utf8Prefix(std::string_view text, std::size_t limit);

// A short string that sorts (bytewise, unsigned) after every string that
// starts with utf8Prefix(text, limit) and so after `text`: that prefix cut
// back to its last ASCII character below 0x7F, which is raised by one.
// Returns false when there is no such character.
bool utf8UpperBound(std::string_view text, std::size_t limit, std::string& bound);

} // namespace qavn
