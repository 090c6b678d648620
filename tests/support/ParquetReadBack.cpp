// The tests' Parquet reader: a bounded Thrift compact decoder, the pages and
// their values, and the checks of the file's invariants.
#include "ParquetReadBack.h"

#include <zstd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace qavn::test {

bool ParquetCell::operator==(const ParquetCell& other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::Null:
        return true;
    case Kind::Int:
        return integer == other.integer;
    case Kind::Double:
        return std::memcmp(&real, &other.real, sizeof real) == 0;
    case Kind::Bytes:
        return bytes == other.bytes;
    }
    return false;
}

namespace {

// A decoded Thrift value: a struct's fields, a list's items or a scalar.
struct Thrift {
    int type = 0;
    std::int64_t integer = 0;
    std::string bytes;
    std::vector<Thrift> items;
    // A struct's fields: their ids and values, in the order read.
    std::vector<int> fieldIds;
    std::vector<Thrift> fields;

    const Thrift* field(int id) const
    {
        for (std::size_t i = 0; i < fieldIds.size(); ++i)
            if (fieldIds[i] == id)
                return &fields[i];
        return nullptr;
    }
};

class CompactReader {
public:
    CompactReader(std::string_view in, std::uint64_t base) : in_(in), base_(base) {}

    bool readStruct(Thrift& out, int depth = 0)
    {
        if (depth > 16)
            return fail("structs nested too deep");
        out.type = 12;
        int last = 0;
        for (;;) {
            std::uint8_t head;
            if (!byte(head))
                return false;
            if (head == 0)
                return true;
            const int type = head & 0x0F;
            int id;
            if (head >> 4) {
                id = last + (head >> 4);
            } else {
                std::int64_t v;
                if (!zigzagVarint(v))
                    return false;
                id = static_cast<int>(v);
            }
            last = id;
            Thrift value;
            if (type == 1 || type == 2) {
                value.type = 1;
                value.integer = type == 1;
            } else if (!readValue(type, value, depth)) {
                return false;
            }
            out.fieldIds.push_back(id);
            out.fields.push_back(std::move(value));
        }
    }

    std::size_t position() const { return pos_; }
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& why)
    {
        if (error_.empty())
            error_ = "byte " + std::to_string(base_ + pos_) + ": " + why;
        return false;
    }

    bool byte(std::uint8_t& b)
    {
        if (pos_ >= in_.size())
            return fail("the metadata ends early");
        b = static_cast<std::uint8_t>(in_[pos_++]);
        return true;
    }

    bool varint(std::uint64_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 70; shift += 7) {
            std::uint8_t b;
            if (!byte(b))
                return false;
            if (shift == 63 && b > 1)
                return fail("a varint overflows 64 bits");
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                return true;
        }
        return fail("a varint runs past ten bytes");
    }

    bool zigzagVarint(std::int64_t& v)
    {
        std::uint64_t u;
        if (!varint(u))
            return false;
        v = static_cast<std::int64_t>(u >> 1) ^ -static_cast<std::int64_t>(u & 1);
        return true;
    }

    bool readValue(int type, Thrift& out, int depth)
    {
        out.type = type;
        switch (type) {
        case 1:
        case 2: // a bool inside a list or map is a byte of its own
        case 3: {
            std::uint8_t b;
            if (!byte(b))
                return false;
            out.integer = type == 3 ? static_cast<std::int8_t>(b) : b == 1;
            return true;
        }
        case 4:
        case 5:
        case 6:
            return zigzagVarint(out.integer);
        case 7:
            if (in_.size() - pos_ < 8)
                return fail("a double is cut short");
            out.bytes.assign(in_.substr(pos_, 8));
            pos_ += 8;
            return true;
        case 8: {
            std::uint64_t n;
            if (!varint(n))
                return false;
            if (n > in_.size() - pos_)
                return fail("a binary of " + std::to_string(n) + " bytes passes the end");
            out.bytes.assign(in_.substr(pos_, n));
            pos_ += n;
            return true;
        }
        case 9:
        case 10: {
            std::uint8_t head;
            if (!byte(head))
                return false;
            std::uint64_t n = head >> 4;
            if (n == 15 && !varint(n))
                return false;
            if (n > in_.size() - pos_)
                return fail("a list of " + std::to_string(n) + " elements passes the end");
            const int element = head & 0x0F;
            for (std::uint64_t i = 0; i < n; ++i) {
                Thrift item;
                if (!readValue(element, item, depth + 1))
                    return false;
                out.items.push_back(std::move(item));
            }
            return true;
        }
        case 11: {
            std::uint64_t n;
            if (!varint(n))
                return false;
            if (n == 0)
                return true;
            if (n > in_.size() - pos_)
                return fail("a map passes the end");
            std::uint8_t types;
            if (!byte(types))
                return false;
            for (std::uint64_t i = 0; i < n; ++i) {
                Thrift key;
                Thrift value;
                if (!readValue(types >> 4, key, depth + 1) || !readValue(types & 0x0F, value, depth + 1))
                    return false;
            }
            return true;
        }
        case 12:
            return readStruct(out, depth + 1);
        default:
            return fail("unknown Thrift type " + std::to_string(type));
        }
    }

    std::string_view in_;
    std::uint64_t base_;
    std::size_t pos_ = 0;
    std::string error_;
};

std::int64_t intField(const Thrift& t, int id, std::int64_t missing = -1)
{
    const Thrift* f = t.field(id);
    return f ? f->integer : missing;
}

std::uint32_t littleEndian32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

std::uint64_t littleEndian64(std::string_view b, std::size_t at)
{
    return littleEndian32(b, at) | (static_cast<std::uint64_t>(littleEndian32(b, at + 4)) << 32);
}

// Plain values of a physical type: `count` of them, exactly filling `in`
// when `exact`.
bool decodePlain(std::string_view in, std::int32_t type, std::size_t count, std::vector<ParquetCell>& out,
                 std::size_t& used)
{
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        switch (type) {
        case 1:
            if (in.size() - pos < 4)
                return false;
            out.push_back(ParquetCell::ofInt(static_cast<std::int64_t>(static_cast<std::int32_t>(littleEndian32(in, pos)))));
            pos += 4;
            break;
        case 2:
            if (in.size() - pos < 8)
                return false;
            out.push_back(ParquetCell::ofInt(static_cast<std::int64_t>(littleEndian64(in, pos))));
            pos += 8;
            break;
        case 5: {
            if (in.size() - pos < 8)
                return false;
            const std::uint64_t bits = littleEndian64(in, pos);
            double d;
            std::memcpy(&d, &bits, 8);
            out.push_back(ParquetCell::ofDouble(d));
            pos += 8;
            break;
        }
        case 6: {
            if (in.size() - pos < 4)
                return false;
            const std::uint32_t n = littleEndian32(in, pos);
            pos += 4;
            if (n > in.size() - pos)
                return false;
            out.push_back(ParquetCell::ofBytes(std::string(in.substr(pos, n))));
            pos += n;
            break;
        }
        default:
            return false;
        }
    }
    used = pos;
    return true;
}

// The order the statistics follow: signed numbers, doubles, unsigned bytes.
bool less(const ParquetCell& a, const ParquetCell& b)
{
    switch (a.kind) {
    case ParquetCell::Kind::Int:
        return a.integer < b.integer;
    case ParquetCell::Kind::Double:
        return a.real < b.real;
    default:
        return a.bytes < b.bytes; // std::string compares as unsigned char
    }
}

std::string plainStatistic(const ParquetCell& c, std::int32_t type)
{
    std::string s;
    auto put = [&](std::uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            s.push_back(static_cast<char>(v >> (8 * i)));
    };
    switch (type) {
    case 1:
        put(static_cast<std::uint64_t>(c.integer), 4);
        break;
    case 2:
        put(static_cast<std::uint64_t>(c.integer), 8);
        break;
    case 5: {
        std::uint64_t bits;
        std::memcpy(&bits, &c.real, 8);
        put(bits, 8);
        break;
    }
    default:
        s = c.bytes;
    }
    return s;
}

class FileReader {
public:
    FileReader(std::string_view file, ParquetReadBack& out) : file_(file), out_(out) {}

    std::string read()
    {
        if (file_.size() < 12 || file_.substr(0, 4) != "PAR1" || file_.substr(file_.size() - 4) != "PAR1")
            return "the file does not start and end with PAR1";
        const std::uint32_t footerSize = littleEndian32(file_, file_.size() - 8);
        if (footerSize > file_.size() - 12)
            return "the footer length " + std::to_string(footerSize) + " passes the start of the file";
        footerStart_ = file_.size() - 8 - footerSize;
        CompactReader reader(file_.substr(footerStart_, footerSize), footerStart_);
        Thrift meta;
        if (!reader.readStruct(meta))
            return reader.error();
        if (reader.position() != footerSize)
            return "the footer's metadata ends at byte " + std::to_string(footerStart_ + reader.position()) +
                   ", before its end";
        return readFooter(meta);
    }

private:
    std::string readFooter(const Thrift& meta)
    {
        out_.version = static_cast<std::int32_t>(intField(meta, 1));
        out_.rows = intField(meta, 3);
        if (const Thrift* by = meta.field(6))
            out_.createdBy = by->bytes;
        const Thrift* schema = meta.field(2);
        if (!schema || schema->items.empty())
            return "the footer has no schema";
        const Thrift& root = schema->items[0];
        if (intField(root, 5) != static_cast<std::int64_t>(schema->items.size() - 1))
            return "the schema root counts " + std::to_string(intField(root, 5)) + " children, the list holds " +
                   std::to_string(schema->items.size() - 1);
        for (std::size_t i = 1; i < schema->items.size(); ++i) {
            const Thrift& e = schema->items[i];
            ParquetReadColumn c;
            const Thrift* name = e.field(4);
            if (!name || !e.field(1) || !e.field(3))
                return "schema element " + std::to_string(i) + " lacks a name, type or repetition";
            c.name = name->bytes;
            c.physicalType = static_cast<std::int32_t>(intField(e, 1));
            c.repetition = static_cast<std::int32_t>(intField(e, 3));
            if (e.field(6))
                c.convertedType = static_cast<std::int32_t>(intField(e, 6));
            if (e.field(7))
                c.scale = static_cast<std::int32_t>(intField(e, 7));
            if (e.field(8))
                c.precision = static_cast<std::int32_t>(intField(e, 8));
            if (const Thrift* logical = e.field(10); logical && !logical->fieldIds.empty())
                c.logicalType = static_cast<std::int16_t>(logical->fieldIds[0]);
            out_.columns.push_back(std::move(c));
        }
        if (const Thrift* kv = meta.field(5)) {
            for (const Thrift& pair : kv->items) {
                const Thrift* key = pair.field(1);
                const Thrift* value = pair.field(2);
                if (!key)
                    return "a key-value entry has no key";
                out_.metadata.emplace_back(key->bytes, value ? value->bytes : std::string());
            }
        }
        if (const Thrift* orders = meta.field(7)) {
            out_.typeDefinedOrder = orders->items.size() == out_.columns.size() &&
                                    std::all_of(orders->items.begin(), orders->items.end(),
                                                [](const Thrift& o) { return o.field(1) != nullptr; });
        }
        const Thrift* groups = meta.field(4);
        if (!groups)
            return "the footer has no row groups list";
        std::int64_t rows = 0;
        std::uint64_t next = 4; // chunks follow each other from the magic on
        for (const Thrift& group : groups->items) {
            const std::string fault = readRowGroup(group, next);
            if (!fault.empty())
                return "row group " + std::to_string(out_.rowGroupRows.size()) + ": " + fault;
            rows += out_.rowGroupRows.back();
        }
        if (next != footerStart_)
            return "the column chunks end at byte " + std::to_string(next) + ", the footer starts at " +
                   std::to_string(footerStart_);
        if (rows != out_.rows)
            return "the row groups hold " + std::to_string(rows) + " rows, the footer says " +
                   std::to_string(out_.rows);
        return {};
    }

    std::string readRowGroup(const Thrift& group, std::uint64_t& next)
    {
        const std::int64_t rows = intField(group, 3);
        out_.rowGroupRows.push_back(rows);
        const Thrift* columns = group.field(1);
        if (!columns || columns->items.size() != out_.columns.size())
            return "it does not hold one chunk per column";
        if (intField(group, 5, static_cast<std::int64_t>(next)) != static_cast<std::int64_t>(next))
            return "its file_offset is not where its first chunk starts";
        const std::uint64_t start = next;
        std::int64_t uncompressed = 0;
        std::vector<ParquetChunk> chunks;
        for (std::size_t i = 0; i < columns->items.size(); ++i) {
            ParquetChunk chunk;
            const std::string fault = readChunk(columns->items[i], out_.columns[i], rows, next, chunk);
            if (!fault.empty())
                return "column " + out_.columns[i].name + ": " + fault;
            uncompressed += static_cast<std::int64_t>(chunk.uncompressedBytes);
            chunks.push_back(std::move(chunk));
        }
        if (intField(group, 2) != uncompressed)
            return "total_byte_size " + std::to_string(intField(group, 2)) + " is not the chunks' " +
                   std::to_string(uncompressed);
        if (const Thrift* total = group.field(6); total && total->integer != static_cast<std::int64_t>(next - start))
            return "total_compressed_size is not the chunks' bytes";
        out_.chunks.push_back(std::move(chunks));
        return {};
    }

    std::string readChunk(const Thrift& chunkMeta, ParquetReadColumn& column, std::int64_t rows, std::uint64_t& next,
                          ParquetChunk& chunk)
    {
        const Thrift* meta = chunkMeta.field(3);
        if (!meta)
            return "no column metadata";
        if (intField(*meta, 1) != column.physicalType)
            return "the chunk's type is not the schema's";
        const Thrift* path = meta->field(3);
        if (!path || path->items.size() != 1 || path->items[0].bytes != column.name)
            return "path_in_schema is not the column's name";
        if (const Thrift* list = meta->field(2))
            for (const Thrift& e : list->items)
                chunk.encodings.push_back(static_cast<std::int32_t>(e.integer));
        chunk.codec = static_cast<std::int32_t>(intField(*meta, 4));
        const std::int64_t values = intField(*meta, 5);
        const std::int64_t totalCompressed = intField(*meta, 7);
        const std::int64_t totalUncompressed = intField(*meta, 6);
        const std::int64_t dataOffset = intField(*meta, 9);
        const std::int64_t dictionaryOffset = intField(*meta, 11);
        const std::int64_t start = dictionaryOffset >= 0 ? dictionaryOffset : dataOffset;
        if (values != rows)
            return "num_values " + std::to_string(values) + " is not the row group's " + std::to_string(rows) +
                   " rows";
        if (start != static_cast<std::int64_t>(next))
            return "the chunk starts at byte " + std::to_string(start) + ", not right after the previous one at " +
                   std::to_string(next);
        if (totalCompressed < 0 || static_cast<std::uint64_t>(totalCompressed) > footerStart_ - next)
            return "total_compressed_size passes the footer";
        const std::uint64_t end = next + static_cast<std::uint64_t>(totalCompressed);

        std::vector<ParquetCell> dictionary;
        std::int64_t read = 0;
        std::int64_t nulls = 0;
        std::uint64_t pos = next;
        while (pos < end) {
            CompactReader reader(file_.substr(pos, end - pos), pos);
            Thrift header;
            if (!reader.readStruct(header))
                return reader.error();
            const std::uint64_t headerAt = pos;
            pos += reader.position();
            const std::int64_t type = intField(header, 1);
            const std::int64_t size = intField(header, 2);
            const std::int64_t stored = intField(header, 3);
            if (size < 0 || stored < 0 || static_cast<std::uint64_t>(stored) > end - pos)
                return "the page at byte " + std::to_string(headerAt) + " passes the chunk's end";
            chunk.uncompressedBytes += reader.position() + static_cast<std::uint64_t>(size);
            std::string body;
            const std::string_view raw = file_.substr(pos, static_cast<std::size_t>(stored));
            if (chunk.codec == 6) {
                if (ZSTD_getFrameContentSize(raw.data(), raw.size()) != static_cast<unsigned long long>(size))
                    return "the zstd frame at byte " + std::to_string(pos) + " is not of the page's size";
                body.resize(static_cast<std::size_t>(size));
                const std::size_t n = ZSTD_decompress(body.data(), body.size(), raw.data(), raw.size());
                if (ZSTD_isError(n) || n != body.size())
                    return "the page at byte " + std::to_string(headerAt) + " does not decompress";
            } else if (chunk.codec == 0) {
                if (stored != size)
                    return "an uncompressed page's two sizes differ";
                body.assign(raw);
            } else {
                return "unknown codec " + std::to_string(chunk.codec);
            }
            pos += static_cast<std::uint64_t>(stored);

            if (type == 2) {
                if (headerAt != static_cast<std::uint64_t>(dictionaryOffset) || chunk.dictionaryPage)
                    return "a dictionary page that is not the chunk's first page";
                chunk.dictionaryPage = true;
                const Thrift* d = header.field(7);
                if (!d || intField(*d, 2) != 0)
                    return "the dictionary page is not plain";
                std::size_t used = 0;
                if (!decodePlain(body, column.physicalType, static_cast<std::size_t>(std::max<std::int64_t>(0, intField(*d, 1))), dictionary, used) ||
                    used != body.size())
                    return "the dictionary page's values do not fill it";
                continue;
            }
            if (type != 0)
                return "page type " + std::to_string(type) + " at byte " + std::to_string(headerAt);
            if (read == 0 && headerAt != static_cast<std::uint64_t>(dataOffset))
                return "data_page_offset is not the first data page";
            const std::string fault = readDataPage(header, body, column, dictionary, chunk, nulls, read);
            if (!fault.empty())
                return "the page at byte " + std::to_string(headerAt) + ": " + fault;
        }
        if (read != values)
            return "the pages hold " + std::to_string(read) + " values, num_values says " + std::to_string(values);
        if (static_cast<std::int64_t>(chunk.uncompressedBytes) != totalUncompressed)
            return "total_uncompressed_size " + std::to_string(totalUncompressed) + " is not the pages' " +
                   std::to_string(chunk.uncompressedBytes);
        next = end;
        return checkStatistics(*meta, column, rows, nulls, chunk);
    }

    std::string readDataPage(const Thrift& header, std::string_view body, ParquetReadColumn& column,
                             const std::vector<ParquetCell>& dictionary, ParquetChunk& chunk, std::int64_t& nulls,
                             std::int64_t& read)
    {
        const Thrift* d = header.field(5);
        if (!d)
            return "a data page without its header";
        const std::int64_t count = intField(*d, 1);
        const std::int64_t encoding = intField(*d, 2);
        if (count <= 0)
            return "a data page of no values";
        if (std::find(chunk.encodings.begin(), chunk.encodings.end(), encoding) == chunk.encodings.end())
            return "encoding " + std::to_string(encoding) + " is not in the chunk's list";
        chunk.largestPageValues = std::max<std::uint64_t>(chunk.largestPageValues, static_cast<std::uint64_t>(count));
        std::vector<std::uint32_t> levels(static_cast<std::size_t>(count), 1);
        std::size_t pos = 0;
        if (column.repetition == 1) {
            if (body.size() < 4)
                return "no definition levels";
            const std::uint32_t length = littleEndian32(body, 0);
            if (length > body.size() - 4)
                return "the definition levels pass the page";
            levels.clear();
            std::size_t used = 0;
            if (!decodeRleHybrid(body.substr(4, length), 1, static_cast<std::size_t>(count), levels, used) ||
                used != length)
                return "the definition levels do not decode to their length";
            pos = 4 + length;
        }
        const auto present = static_cast<std::size_t>(std::count(levels.begin(), levels.end(), 1u));
        std::vector<ParquetCell> values;
        const std::string_view rest = body.substr(pos);
        if (encoding == 0) {
            ++chunk.plainDataPages;
            std::size_t used = 0;
            if (!decodePlain(rest, column.physicalType, present, values, used) || used != rest.size())
                return "the plain values do not fill the page";
        } else if (encoding == 8) {
            ++chunk.dictionaryDataPages;
            if (!chunk.dictionaryPage)
                return "dictionary indices without a dictionary page";
            if (rest.empty())
                return "no index width";
            const int width = static_cast<unsigned char>(rest[0]);
            if (width > 32)
                return "an index width above 32";
            std::vector<std::uint32_t> indices;
            std::size_t used = 0;
            if (!decodeRleHybrid(rest.substr(1), width, present, indices, used) || used != rest.size() - 1)
                return "the indices do not fill the page";
            for (const std::uint32_t i : indices) {
                if (i >= dictionary.size())
                    return "index " + std::to_string(i) + " past the dictionary's " +
                           std::to_string(dictionary.size()) + " entries";
                values.push_back(dictionary[i]);
            }
        } else {
            return "encoding " + std::to_string(encoding);
        }
        std::size_t v = 0;
        for (const std::uint32_t level : levels) {
            if (level > 1)
                return "a definition level above 1";
            if (level == 1) {
                column.cells.push_back(values[v++]);
            } else {
                column.cells.push_back(ParquetCell::null());
                ++nulls;
            }
        }
        read += count;
        return {};
    }

    // The statistics must be the chunk's own: its null count, and min and
    // max in the column's order (NaN left out), or bounds of them when
    // marked inexact.
    std::string checkStatistics(const Thrift& meta, const ParquetReadColumn& column, std::int64_t rows,
                                std::int64_t nulls, ParquetChunk& chunk)
    {
        const Thrift* s = meta.field(12);
        if (!s)
            return {};
        if (const Thrift* n = s->field(3))
            chunk.nullCount = n->integer;
        if (const Thrift* v = s->field(6))
            chunk.minValue = v->bytes;
        if (const Thrift* v = s->field(5))
            chunk.maxValue = v->bytes;
        if (const Thrift* v = s->field(8))
            chunk.minExact = v->integer != 0;
        if (const Thrift* v = s->field(7))
            chunk.maxExact = v->integer != 0;
        if (chunk.nullCount && *chunk.nullCount != nulls)
            return "null_count " + std::to_string(*chunk.nullCount) + ", the pages hold " + std::to_string(nulls);
        const ParquetCell* min = nullptr;
        const ParquetCell* max = nullptr;
        const std::size_t first = column.cells.size() - static_cast<std::size_t>(rows);
        for (std::size_t i = first; i < column.cells.size(); ++i) {
            const ParquetCell& c = column.cells[i];
            if (c.kind == ParquetCell::Kind::Null || (c.kind == ParquetCell::Kind::Double && std::isnan(c.real)))
                continue;
            if (!min || less(c, *min))
                min = &c;
            if (!max || less(*max, c))
                max = &c;
        }
        if (!min) {
            if (chunk.minValue || chunk.maxValue)
                return "min or max given for a chunk of no values";
            return {};
        }
        if (column.physicalType == 5) {
            // Signed zeros: a minimum of zero is written -0.0, a maximum +0.0.
            ParquetCell low = *min;
            ParquetCell high = *max;
            if (low.real == 0)
                low.real = -0.0;
            if (high.real == 0)
                high.real = 0.0;
            if (chunk.minValue != plainStatistic(low, 5) || chunk.maxValue != plainStatistic(high, 5))
                return "min/max are not the chunk's values";
            return {};
        }
        const std::string exactMin = plainStatistic(*min, column.physicalType);
        const std::string exactMax = plainStatistic(*max, column.physicalType);
        if (!chunk.minValue)
            return "no min_value";
        if (chunk.minExact.value_or(true) ? *chunk.minValue != exactMin
                                          : (exactMin.compare(0, chunk.minValue->size(), *chunk.minValue) != 0))
            return "min_value is not the chunk's minimum";
        if (chunk.maxValue && (chunk.maxExact.value_or(true) ? *chunk.maxValue != exactMax : *chunk.maxValue <= exactMax))
            return "max_value is not the chunk's maximum";
        return {};
    }

    std::string_view file_;
    ParquetReadBack& out_;
    std::uint64_t footerStart_ = 0;
};

} // namespace

bool decodeRleHybrid(std::string_view in, int bitWidth, std::size_t count, std::vector<std::uint32_t>& out,
                     std::size_t& used)
{
    if (bitWidth < 0 || bitWidth > 32)
        return false;
    const std::uint64_t mask = (1ULL << bitWidth) - 1;
    const std::size_t valueBytes = static_cast<std::size_t>(bitWidth + 7) / 8;
    const std::size_t target = out.size() + count;
    std::size_t pos = 0;
    while (out.size() < target) {
        std::uint64_t header = 0;
        for (int shift = 0;; shift += 7) {
            if (pos >= in.size() || shift > 56)
                return false;
            const auto b = static_cast<unsigned char>(in[pos++]);
            header |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80))
                break;
        }
        if (header & 1) {
            const std::uint64_t groups = header >> 1;
            // More values than the padding of the last group allows?
            if (groups == 0 || groups * 8 > target - out.size() + 7 ||
                groups * static_cast<std::uint64_t>(bitWidth) > in.size() - pos)
                return false;
            std::uint64_t bits = 0;
            int held = 0;
            for (std::uint64_t i = 0; i < groups * 8; ++i) {
                while (held < bitWidth) {
                    bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[pos++])) << held;
                    held += 8;
                }
                const auto v = static_cast<std::uint32_t>(bits & mask);
                bits >>= bitWidth;
                held -= bitWidth;
                if (out.size() < target)
                    out.push_back(v);
            }
        } else {
            const std::uint64_t run = header >> 1;
            if (run == 0 || run > target - out.size() || valueBytes > in.size() - pos)
                return false;
            std::uint64_t v = 0;
            for (std::size_t b = 0; b < valueBytes; ++b)
                v |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[pos++])) << (8 * b);
            if (v > mask)
                return false;
            out.insert(out.end(), static_cast<std::size_t>(run), static_cast<std::uint32_t>(v));
        }
    }
    used = pos;
    return true;
}

std::string readParquet(std::string_view file, ParquetReadBack& out)
{
    out = {};
    return FileReader(file, out).read();
}

} // namespace qavn::test
