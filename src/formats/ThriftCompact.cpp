// The encoder of Thrift's compact protocol for the Parquet metadata.
#include "formats/ThriftCompact.h"

#include <cassert>

namespace qavn {

void appendVarint(std::string& out, std::uint64_t value)
{
    char bytes[10];
    std::size_t n = 0;
    while (value >= 0x80) {
        bytes[n++] = static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    bytes[n++] = static_cast<char>(value);
    out.append(bytes, n);
}

void ThriftCompactWriter::fieldHeader(std::int16_t id, ThriftType type)
{
    const int delta = id - lastIds_[depth_];
    if (delta > 0 && delta <= 15) {
        out_.push_back(static_cast<char>((delta << 4) | static_cast<int>(type)));
    } else {
        out_.push_back(static_cast<char>(type));
        appendVarint(out_, zigzag(id));
    }
    lastIds_[depth_] = id;
}

void ThriftCompactWriter::push()
{
    assert(depth_ + 1 < static_cast<int>(std::size(lastIds_)));
    lastIds_[++depth_] = 0;
}

void ThriftCompactWriter::i16(std::int16_t id, std::int16_t value)
{
    fieldHeader(id, ThriftType::I16);
    appendVarint(out_, zigzag(value));
}

void ThriftCompactWriter::i32(std::int16_t id, std::int32_t value)
{
    fieldHeader(id, ThriftType::I32);
    appendVarint(out_, zigzag(value));
}

void ThriftCompactWriter::i64(std::int16_t id, std::int64_t value)
{
    fieldHeader(id, ThriftType::I64);
    appendVarint(out_, zigzag(value));
}

void ThriftCompactWriter::boolean(std::int16_t id, bool value)
{
    fieldHeader(id, value ? ThriftType::True : ThriftType::False);
}

void ThriftCompactWriter::binary(std::int16_t id, std::string_view value)
{
    fieldHeader(id, ThriftType::Binary);
    appendVarint(out_, value.size());
    out_.append(value);
}

void ThriftCompactWriter::beginStruct(std::int16_t id)
{
    fieldHeader(id, ThriftType::Struct);
    push();
}

void ThriftCompactWriter::end()
{
    out_.push_back(static_cast<char>(ThriftType::Stop));
    if (depth_ > 0)
        --depth_;
}

void ThriftCompactWriter::beginList(std::int16_t id, ThriftType element, std::size_t size)
{
    fieldHeader(id, ThriftType::List);
    const int type = static_cast<int>(element);
    if (size < 15) {
        out_.push_back(static_cast<char>((size << 4) | static_cast<std::size_t>(type)));
    } else {
        out_.push_back(static_cast<char>(0xF0 | type));
        appendVarint(out_, size);
    }
}

void ThriftCompactWriter::elementI32(std::int32_t value)
{
    appendVarint(out_, zigzag(value));
}

void ThriftCompactWriter::elementBinary(std::string_view value)
{
    appendVarint(out_, value.size());
    out_.append(value);
}

void ThriftCompactWriter::beginElement()
{
    push();
}

} // namespace qavn
