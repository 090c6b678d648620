#pragma once

// The 47-byte variable record of the index file and the text references it holds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qavn {

// Bytes with a meaning of their own in the codebook text file.
namespace textbyte {
constexpr std::uint8_t lineEnd = 0xDB;
constexpr std::uint8_t fieldSeparator = 0xDC;
constexpr std::uint8_t filler = 0xFF;
} // namespace textbyte

// Where a line starts in the text file: a 32-bit high part and a low byte,
// offset = high × 256 + low in 32-bit unsigned arithmetic.
struct TextRef {
    std::uint32_t high = 0;
    std::uint8_t low = 0;

    constexpr std::uint32_t offset() const { return high * 256u + low; }
    static constexpr TextRef fromOffset(std::uint32_t offset)
    {
        return {offset / 256u, static_cast<std::uint8_t>(offset % 256u)};
    }
    friend constexpr bool operator==(const TextRef& a, const TextRef& b)
    {
        return a.offset() == b.offset();
    }
};

// One 47-byte record of the index file, decoded.
struct VariableRecord {
    static constexpr std::size_t size = 47;

    std::uint8_t nameLength = 0;
    std::array<char, 8> name{};
    std::uint16_t fileNumber = 0;
    std::uint8_t recordNumber = 0;
    std::uint8_t locationLength = 0;
    std::array<char, 9> location{};
    char typeCode = ' ';
    TextRef labelRef;
    TextRef categoryRef;
    std::uint16_t categoryLineCount = 0;
    TextRef descriptionRef;
    std::uint16_t descriptionLineCount = 0;
    TextRef sectionRef;

    // The first `nameLength` characters of `name` (at most 8).
    std::string_view variableName() const
    {
        return {name.data(), nameLength < 8 ? nameLength : std::size_t{8}};
    }
    // The first `locationLength` characters of `location` (at most 9).
    std::string_view locationText() const
    {
        return {location.data(), locationLength < 9 ? locationLength : std::size_t{9}};
    }

    static VariableRecord decode(const std::uint8_t* bytes);
    void encode(std::uint8_t* bytes) const;
};

} // namespace qavn
