// The 47-byte variable record of the index file and the text references it holds.

#include "codebook/VariableRecord.h"

namespace qavn {

namespace {

std::uint16_t get16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

TextRef getRef(const std::uint8_t* p)
{
    TextRef ref;
    ref.high = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
               (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    ref.low = p[4];
    return ref;
}

void put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putRef(std::uint8_t* p, TextRef ref)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>((ref.high >> (8 * i)) & 0xFF);
    p[4] = ref.low;
}

} // namespace

VariableRecord VariableRecord::decode(const std::uint8_t* b)
{
    VariableRecord r;
    r.nameLength = b[0];
    for (std::size_t i = 0; i < 8; ++i)
        r.name[i] = static_cast<char>(b[1 + i]);
    r.fileNumber = get16(b + 9);
    r.recordNumber = b[11];
    r.locationLength = b[12];
    for (std::size_t i = 0; i < 9; ++i)
        r.location[i] = static_cast<char>(b[13 + i]);
    r.typeCode = static_cast<char>(b[22]);
    r.labelRef = getRef(b + 23);
    r.categoryRef = getRef(b + 28);
    r.categoryLineCount = get16(b + 33);
    r.descriptionRef = getRef(b + 35);
    r.descriptionLineCount = get16(b + 40);
    r.sectionRef = getRef(b + 42);
    return r;
}

void VariableRecord::encode(std::uint8_t* b) const
{
    b[0] = nameLength;
    for (std::size_t i = 0; i < 8; ++i)
        b[1 + i] = static_cast<std::uint8_t>(name[i]);
    put16(b + 9, fileNumber);
    b[11] = recordNumber;
    b[12] = locationLength;
    for (std::size_t i = 0; i < 9; ++i)
        b[13 + i] = static_cast<std::uint8_t>(location[i]);
    b[22] = static_cast<std::uint8_t>(typeCode);
    putRef(b + 23, labelRef);
    putRef(b + 28, categoryRef);
    put16(b + 33, categoryLineCount);
    putRef(b + 35, descriptionRef);
    put16(b + 40, descriptionLineCount);
    putRef(b + 42, sectionRef);
}

} // namespace qavn
