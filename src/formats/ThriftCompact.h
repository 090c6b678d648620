// Thrift's compact protocol, in which a Parquet file writes its metadata (the
// page headers and the footer): an encoder of structs, lists and scalars.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qavn {

// The type nibble of a field header or a list header.
enum class ThriftType : std::uint8_t {
    Stop = 0,
    True = 1,  // a bool field holds its value in its type
    False = 2,
    Byte = 3,
    I16 = 4,
    I32 = 5,
    I64 = 6,
    Double = 7,
    Binary = 8, // also strings
    List = 9,
    Set = 10,
    Map = 11,
    Struct = 12,
};

// ULEB128: seven bits a byte, lowest first, the high bit set on every byte
// but the last.
void appendVarint(std::string& out, std::uint64_t value);

// Signed integers as the unsigned values varints carry: 0, -1, 1, -2, ...
// become 0, 1, 2, 3, ...
constexpr std::uint64_t zigzag(std::int64_t value)
{
    return (static_cast<std::uint64_t>(value) << 1) ^ static_cast<std::uint64_t>(value >> 63);
}

// Writes one struct (and the structs inside it) into `out`. Fields are
// written in ascending id order within each struct, as the protocol's short
// field headers (a delta of 1..15 from the previous id) expect; a larger
// step takes the long header. Nesting is at most eight levels deep.
//
//   ThriftCompactWriter w(out);
//   w.i32(1, 2);                         // field 1: i32 2
//   w.beginList(2, ThriftType::Struct, 1);
//   w.beginElement();                    // one struct element
//   w.binary(4, "name");
//   w.end();                             // its stop byte
//   w.end();                             // the outer struct's stop byte
class ThriftCompactWriter {
public:
    explicit ThriftCompactWriter(std::string& out) : out_(out) {}

    void i16(std::int16_t id, std::int16_t value);
    void i32(std::int16_t id, std::int32_t value);
    void i64(std::int16_t id, std::int64_t value);
    void boolean(std::int16_t id, bool value);
    void binary(std::int16_t id, std::string_view value);
    // A field holding a struct: the fields written next are the nested
    // struct's, until end().
    void beginStruct(std::int16_t id);
    // Ends the current struct with its stop byte.
    void end();

    // A list field of `size` elements of type `element`, which follow as
    // elementI32(), elementBinary() or beginElement() ... end() calls (or
    // elementsEncoded()).
    void beginList(std::int16_t id, ThriftType element, std::size_t size);
    void elementI32(std::int32_t value);
    void elementBinary(std::string_view value);
    // A struct element of a list: its fields follow, then end().
    void beginElement();
    // Struct elements encoded earlier by a writer of their own, one after
    // the other.
    void elementsEncoded(std::string_view bytes) { out_.append(bytes); }

private:
    void fieldHeader(std::int16_t id, ThriftType type);
    void push();

    std::string& out_;
    std::int16_t lastIds_[8] = {};
    int depth_ = 0;
};

} // namespace qavn
