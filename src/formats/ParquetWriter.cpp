// The Parquet file writer: column buffers, dictionaries, pages, row groups
// and the footer.
#include "formats/ParquetWriter.h"

#include "formats/ParquetEncoding.h"
#include "formats/ThriftCompact.h"
#include "platform/TextOutput.h"

#include <zstd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace qavn {

namespace {

// Enum values of the format's metadata.
enum PhysicalType : std::int32_t { Int32Type = 1, Int64Type = 2, DoubleType = 5, ByteArrayType = 6 };
enum Encoding : std::int32_t { PlainEncoding = 0, RleEncoding = 3, RleDictionaryEncoding = 8 };
enum PageType : std::int32_t { DataPage = 0, DictionaryPage = 2 };
enum Codec : std::int32_t { Uncompressed = 0, ZstdCodec = 6 };
enum ConvertedType : std::int32_t { Utf8Converted = 0, DecimalConverted = 5, DateConverted = 6 };
enum Repetition : std::int32_t { Required = 0, Optional = 1 };

constexpr std::string_view magic = "PAR1";
// A value the plain encoding cannot put in one page (its sizes are i32).
constexpr std::size_t longestText = std::size_t(1) << 30;

const char* typeName(ParquetType type)
{
    switch (type) {
    case ParquetType::Int32:
        return "INT32";
    case ParquetType::Int64:
        return "INT64";
    case ParquetType::Double:
        return "DOUBLE";
    case ParquetType::Decimal:
        return "DECIMAL";
    case ParquetType::String:
        return "STRING";
    case ParquetType::Date:
        return "DATE";
    }
    return "?";
}

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// The distinct values of one column chunk, kept as the dictionary page
// writes them (plain encoding), with an open-addressing index over them. A
// slot is eight bytes, a tag and the entry, so that the index of a few
// thousand values stays in the cache: the tag of a four-byte value is the
// value itself, and a lookup touches one slot; that of a longer value is a
// hash of it, and its bytes are compared only when the tags match.
class Dictionary {
public:
    static constexpr std::uint32_t full = std::numeric_limits<std::uint32_t>::max();
    // Past this many entries the index would outgrow its 32-bit tags.
    static constexpr std::size_t maxEntries = std::size_t(1) << 28;

    // width: bytes of a fixed-width value, 0 for length-prefixed text.
    explicit Dictionary(std::size_t width) : width_(width) { slots_.resize(std::size_t(1) << bits_); }

    // The index of `value`, added when new (`added` tells); `full` when
    // adding it would take the entries past `limit` bytes.
    std::uint32_t find(std::string_view value, std::size_t limit, bool& added)
    {
        added = false;
        std::uint32_t tag;
        if (width_ == 4) {
            std::memcpy(&tag, value.data(), 4);
        } else {
            std::uint64_t hash;
            if (width_ == 8) {
                std::memcpy(&hash, value.data(), 8);
                hash *= 0xC2B2AE3D27D4EB4FULL;
                hash ^= hash >> 32;
            } else {
                hash = std::hash<std::string_view>{}(value);
            }
            tag = static_cast<std::uint32_t>(hash ^ (hash >> 32));
        }
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = spread(tag);
        for (;; slot = (slot + 1) & mask) {
            const Slot s = slots_[slot];
            if (s.index == 0)
                break;
            if (s.tag == tag && (width_ == 4 || entry(s.index - 1) == value))
                return s.index - 1;
        }
        const std::size_t bytes = value.size() + (width_ == 0 ? 4 : 0);
        if (plain_.size() + bytes > limit || count_ >= maxEntries)
            return full;
        const auto index = static_cast<std::uint32_t>(count_++);
        if (width_ == 0) {
            appendLittleEndian32(plain_, static_cast<std::uint32_t>(value.size()));
            starts_.push_back(static_cast<std::uint32_t>(plain_.size()));
        }
        plain_.append(value);
        slots_[slot] = {tag, index + 1};
        added = true;
        if (count_ * 4 > slots_.size() * 3)
            grow();
        return index;
    }

    std::string_view entry(std::uint32_t index) const
    {
        if (width_ != 0)
            return std::string_view(plain_).substr(index * width_, width_);
        const std::uint32_t start = starts_[index];
        std::uint32_t length;
        std::memcpy(&length, plain_.data() + start - 4, 4);
        return std::string_view(plain_).substr(start, length);
    }

    std::size_t size() const { return count_; }
    const std::string& plain() const { return plain_; }

    void clear()
    {
        plain_.clear();
        starts_.clear();
        count_ = 0;
        std::fill(slots_.begin(), slots_.end(), Slot{});
    }

private:
    struct Slot {
        std::uint32_t tag = 0;
        std::uint32_t index = 0; // entry + 1; 0 for an empty slot
    };

    // Fibonacci hashing: the top bits of the tag times 2^32 / phi.
    std::size_t spread(std::uint32_t tag) const { return (tag * 0x9E3779B9U) >> (32 - bits_); }

    void grow()
    {
        ++bits_;
        std::vector<Slot> old(std::size_t(1) << bits_);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.index == 0)
                continue;
            std::size_t slot = spread(s.tag);
            while (slots_[slot].index != 0)
                slot = (slot + 1) & mask;
            slots_[slot] = s;
        }
    }

    std::size_t width_;
    std::string plain_;
    std::vector<std::uint32_t> starts_; // text: where each entry's bytes start
    std::size_t count_ = 0;
    int bits_ = 8;
    std::vector<Slot> slots_;
};

// Minimum, maximum and null count of a column chunk.
struct Statistics {
    bool any = false;
    std::int64_t minInt = 0;
    std::int64_t maxInt = 0;
    double minDouble = 0;
    double maxDouble = 0;
    std::string minText;
    std::string maxText;
    std::uint64_t nulls = 0;

    void addInt(std::int64_t v)
    {
        if (!any) {
            minInt = maxInt = v;
            any = true;
        } else {
            minInt = std::min(minInt, v);
            maxInt = std::max(maxInt, v);
        }
    }
    // NaN has no place in the order and is left out.
    void addDouble(double v)
    {
        if (std::isnan(v))
            return;
        if (!any) {
            minDouble = maxDouble = v;
            any = true;
        } else {
            minDouble = std::min(minDouble, v);
            maxDouble = std::max(maxDouble, v);
        }
    }
    // Bytewise, unsigned: the order of UTF-8 text by code point.
    void addText(std::string_view v)
    {
        if (!any) {
            minText.assign(v);
            maxText.assign(v);
            any = true;
        } else if (v < std::string_view(minText)) {
            minText.assign(v);
        } else if (v > std::string_view(maxText)) {
            maxText.assign(v);
        }
    }
    void clear()
    {
        any = false;
        nulls = 0;
    }
};

// The plain bytes of the page being filled: a growing buffer whose appends
// of four and eight bytes compile to plain stores, as they come once per
// value.
class PageBuffer {
public:
    void put32(std::uint32_t v)
    {
        reserve(4);
        for (int i = 0; i < 4; ++i)
            data_[size_ + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        size_ += 4;
    }
    void put64(std::uint64_t v)
    {
        reserve(8);
        for (int i = 0; i < 8; ++i)
            data_[size_ + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        size_ += 8;
    }
    void append(std::string_view bytes)
    {
        reserve(bytes.size());
        if (!bytes.empty())
            std::memcpy(data_.get() + size_, bytes.data(), bytes.size());
        size_ += bytes.size();
    }
    std::size_t size() const { return size_; }
    std::string_view view() const { return {data_.get(), size_}; }
    void clear() { size_ = 0; }

private:
    void reserve(std::size_t more)
    {
        if (capacity_ - size_ >= more)
            return;
        const std::size_t capacity = std::max(capacity_ * 2, std::max<std::size_t>(size_ + more, 4096));
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_)
            std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

struct Column {
    explicit Column(ParquetColumn spec_)
        : spec(std::move(spec_)), width(valueWidth(spec)), text(width == 0), dictionary(width)
    {
    }

    static std::size_t valueWidth(const ParquetColumn& spec)
    {
        switch (spec.type) {
        case ParquetType::Int32:
        case ParquetType::Date:
            return 4;
        case ParquetType::Int64:
        case ParquetType::Double:
            return 8;
        case ParquetType::Decimal:
            return spec.precision <= 9 ? 4 : 8;
        case ParquetType::String:
            return 0;
        }
        return 0;
    }
    std::int32_t physical() const
    {
        switch (width) {
        case 4:
            return Int32Type;
        case 8:
            return spec.type == ParquetType::Double ? DoubleType : Int64Type;
        default:
            return ByteArrayType;
        }
    }

    ParquetColumn spec;
    std::size_t width; // bytes of a plain value; 0 for text
    bool text;

    // The page being filled.
    std::vector<std::uint8_t> levels; // optional columns: 1 a value, 0 a null
    PageBuffer plain;
    std::size_t pageValues = 0; // nulls included

    // The column chunk of the current row group.
    Dictionary dictionary;
    bool dictionaryMode = true;
    bool dictionaryPages = false; // a data page refers to the dictionary
    bool plainPages = false;
    std::string pages; // data pages written, headers included
    std::uint64_t uncompressedBytes = 0;
    std::uint64_t values = 0; // nulls included
    Statistics statistics;
};

std::int64_t decimalLimit(int precision)
{
    std::int64_t limit = 1;
    for (int i = 0; i < precision; ++i)
        limit *= 10;
    return limit;
}

} // namespace

std::string describe(const ParquetWriteError& error)
{
    std::string text;
    if (!error.column.empty())
        text = "column " + error.column;
    if (error.row != 0)
        text += (text.empty() ? "row " : ", row ") + std::to_string(error.row);
    return text.empty() ? error.reason : text + ": " + error.reason;
}

class ParquetWriter::Impl {
public:
    Impl(TextOutput& output, std::vector<ParquetColumn> columns, ParquetOptions options)
        : output_(output), options_(options)
    {
        // A page's sizes and counts are i32 in its header: a page stays well
        // below 2 GiB even with one text of the longest kind at its end.
        options_.pageRows = std::clamp<std::size_t>(options_.pageRows, 1, std::size_t(1) << 28);
        options_.pageBytes = std::min(options_.pageBytes, std::size_t(1) << 28);
        options_.dictionaryBytes = std::min(options_.dictionaryBytes, std::size_t(1) << 28);
        options_.rowGroupRows = std::max<std::uint64_t>(options_.rowGroupRows, 1);
        columns_.reserve(columns.size());
        for (ParquetColumn& c : columns)
            columns_.emplace_back(std::move(c));
        checkSchema();
        if (options_.compression == ParquetCompression::Zstd && !failed_) {
            zstd_ = ZSTD_createCCtx();
            if (!zstd_)
                fail(ParquetWriteError::Kind::CannotWrite, nullptr, "no memory for the zstd compressor");
        }
    }

    ~Impl() { ZSTD_freeCCtx(zstd_); }

    void addMetadata(std::string_view key, std::string_view value)
    {
        if (failed_ || !usable())
            return;
        if (invalidUtf8At(key) != std::string_view::npos || invalidUtf8At(value) != std::string_view::npos) {
            fail(ParquetWriteError::Kind::InvalidValue, nullptr,
                 "the metadata entry " + std::string(utf8Prefix(key, 64)) + " is not UTF-8");
            return;
        }
        metadata_.emplace_back(key, value);
    }

    void addNull()
    {
        Column* c = next(nullptr, "null");
        if (!c)
            return;
        if (!c->spec.optional) {
            fail(ParquetWriteError::Kind::InvalidValue, c, "the column takes no null");
            return;
        }
        c->levels.push_back(0);
        ++c->statistics.nulls;
        ++c->pageValues;
        ++bufferedBytes_;
        if (c->pageValues >= options_.pageRows)
            flushPage(*c);
    }

    void addInt32(std::int32_t v) { addFixed(ParquetType::Int32, "INT32", v); }
    void addDate(std::int32_t v) { addFixed(ParquetType::Date, "DATE", v); }
    void addInt64(std::int64_t v) { addFixed(ParquetType::Int64, "INT64", v); }

    void addDecimal(std::int64_t unscaled)
    {
        const ParquetType decimal = ParquetType::Decimal;
        Column* c = next(&decimal, "DECIMAL");
        if (!c)
            return;
        const std::int64_t limit = decimalLimit(c->spec.precision);
        if (unscaled <= -limit || unscaled >= limit) {
            fail(ParquetWriteError::Kind::InvalidValue, c,
                 "the unscaled value " + std::to_string(unscaled) + " has more than " +
                     std::to_string(c->spec.precision) + " digits");
            return;
        }
        putFixed(*c, unscaled);
    }

    void addDouble(double v)
    {
        const ParquetType type = ParquetType::Double;
        Column* c = next(&type, "DOUBLE");
        if (!c)
            return;
        const std::uint64_t bits = doubleBits(v);
        putFixed(*c, static_cast<std::int64_t>(bits));
    }

    void addString(std::string_view text)
    {
        const ParquetType type = ParquetType::String;
        Column* c = next(&type, "text");
        if (!c)
            return;
        const std::size_t bad = invalidUtf8At(text);
        if (bad != std::string_view::npos) {
            fail(ParquetWriteError::Kind::InvalidValue, c,
                 "the text is not UTF-8 (byte " + std::to_string(bad + 1) + " of " + std::to_string(text.size()) +
                     ")");
            return;
        }
        if (text.size() >= longestText) {
            fail(ParquetWriteError::Kind::InvalidValue, c, "the text is longer than 1 GiB");
            return;
        }
        c->plain.put32(static_cast<std::uint32_t>(text.size()));
        c->plain.append(text);
        added(*c, text.size() + 4);
    }

    bool endRow()
    {
        if (failed_ || !usable())
            return false;
        if (cursor_ != columns_.size()) {
            fail(ParquetWriteError::Kind::InvalidValue, nullptr,
                 "the row ends after " + std::to_string(cursor_) + " of " + std::to_string(columns_.size()) +
                     " values");
            return false;
        }
        cursor_ = 0;
        ++rows_;
        ++groupRows_;
        if (groupRows_ >= options_.rowGroupRows || bufferedBytes_ >= options_.rowGroupBytes)
            writeRowGroup();
        return !failed_;
    }

    bool finish()
    {
        if (failed_ || !usable())
            return false;
        if (cursor_ != 0) {
            fail(ParquetWriteError::Kind::InvalidValue, nullptr,
                 "the last row ends after " + std::to_string(cursor_) + " of " + std::to_string(columns_.size()) +
                     " values");
            return false;
        }
        writeRowGroup();
        if (failed_)
            return false;
        if (position_ == 0)
            write(magic);
        std::string footer;
        encodeFooter(footer);
        std::string tail;
        appendLittleEndian32(tail, static_cast<std::uint32_t>(footer.size()));
        tail.append(magic);
        write(footer);
        write(tail);
        if (!output_.flush())
            writeFailed();
        finished_ = true;
        return !failed_;
    }

    bool failed() const { return failed_; }
    const ParquetWriteError& error() const { return error_; }
    std::uint64_t rows() const { return rows_; }
    std::size_t rowGroups() const { return rowGroupCount_; }

private:
    void fail(ParquetWriteError::Kind kind, const Column* c, std::string reason)
    {
        if (failed_)
            return;
        failed_ = true;
        error_.kind = kind;
        error_.column = c ? c->spec.name : std::string();
        error_.row = kind == ParquetWriteError::Kind::InvalidValue && c ? rows_ + 1 : 0;
        error_.reason = std::move(reason);
    }

    // A call after finish() is a mistake of the caller's, kept as an error.
    bool usable()
    {
        if (finished_)
            fail(ParquetWriteError::Kind::InvalidValue, nullptr, "the file is already finished");
        return !finished_;
    }

    void writeFailed()
    {
        fail(ParquetWriteError::Kind::CannotWrite, nullptr,
             output_.errorText().empty() ? std::string("Write error") : output_.errorText());
    }

    void checkSchema()
    {
        if (columns_.empty()) {
            fail(ParquetWriteError::Kind::InvalidSchema, nullptr, "a table needs at least one column");
            return;
        }
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const ParquetColumn& spec = columns_[i].spec;
            auto bad = [&](std::string reason) {
                fail(ParquetWriteError::Kind::InvalidSchema, &columns_[i], std::move(reason));
            };
            if (spec.name.empty()) {
                fail(ParquetWriteError::Kind::InvalidSchema, nullptr,
                     "column " + std::to_string(i + 1) + " has no name");
                return;
            }
            if (invalidUtf8At(spec.name) != std::string_view::npos) {
                fail(ParquetWriteError::Kind::InvalidSchema, nullptr,
                     "the name of column " + std::to_string(i + 1) + " is not UTF-8");
                return;
            }
            for (std::size_t j = 0; j < i; ++j) {
                if (equalIgnoringCase(columns_[j].spec.name, spec.name)) {
                    bad("the name is taken by column " + std::to_string(j + 1) + " (" + columns_[j].spec.name + ")");
                    return;
                }
            }
            if (spec.type == ParquetType::Decimal &&
                (spec.precision < 1 || spec.precision > 18 || spec.scale < 0 || spec.scale > spec.precision)) {
                bad("a decimal takes a precision of 1 to 18 digits and a scale from 0 to the precision, not (" +
                    std::to_string(spec.precision) + ", " + std::to_string(spec.scale) + ")");
                return;
            }
        }
    }

    // The column the next value goes to, when it is of `type` (nullptr: any
    // type, for a null).
    Column* next(const ParquetType* type, const char* given)
    {
        // The usual case first, kept small: it runs once per value.
        if (!failed_ && !finished_ && cursor_ < columns_.size()) {
            Column& c = columns_[cursor_];
            if (!type || *type == c.spec.type) {
                ++cursor_;
                return &c;
            }
        }
        refuse(type, given);
        return nullptr;
    }

    [[gnu::noinline, gnu::cold]] void refuse(const ParquetType* type, const char* given)
    {
        if (failed_ || !usable())
            return;
        if (cursor_ >= columns_.size()) {
            fail(ParquetWriteError::Kind::InvalidValue, nullptr,
                 "the row has more values than its " + std::to_string(columns_.size()) + " columns");
            return;
        }
        const Column& c = columns_[cursor_];
        if (type && *type != c.spec.type)
            fail(ParquetWriteError::Kind::InvalidValue, &c,
                 std::string("a ") + given + " value given for a " + typeName(c.spec.type) + " column");
    }

    void addFixed(ParquetType type, const char* given, std::int64_t v)
    {
        Column* c = next(&type, given);
        if (c)
            putFixed(*c, v);
    }

    // A value's plain bytes join the page as they come; the page is encoded
    // when it is full, one column at a time, which keeps each dictionary's
    // index in the cache while it is used.
    void putFixed(Column& c, std::int64_t v)
    {
        const auto u = static_cast<std::uint64_t>(v);
        if (c.width == 4)
            c.plain.put32(static_cast<std::uint32_t>(u));
        else
            c.plain.put64(u);
        added(c, c.width);
    }

    void added(Column& c, std::size_t plainSize)
    {
        if (c.spec.optional)
            c.levels.push_back(1);
        ++c.pageValues;
        bufferedBytes_ += plainSize;
        if (c.pageValues >= options_.pageRows || c.plain.size() >= options_.pageBytes)
            flushPage(c);
    }

    // Calls `each` with the plain bytes of every value of the page (a text
    // without its length).
    template <typename Each>
    static void forEachValue(const Column& c, Each&& each)
    {
        const std::string_view plain = c.plain.view();
        if (!c.text) {
            for (std::size_t at = 0; at < plain.size(); at += c.width)
                each(plain.substr(at, c.width));
            return;
        }
        for (std::size_t at = 0; at < plain.size();) {
            std::uint32_t length;
            std::memcpy(&length, plain.data() + at, 4);
            each(plain.substr(at + 4, length));
            at += 4 + length;
        }
    }

    // The statistics of a value given by its plain bytes.
    static void measure(Column& c, std::string_view bytes)
    {
        std::uint64_t u = 0;
        if (!c.text)
            std::memcpy(&u, bytes.data(), bytes.size());
        switch (c.physical()) {
        case Int32Type:
            c.statistics.addInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(u)));
            break;
        case Int64Type:
            c.statistics.addInt(static_cast<std::int64_t>(u));
            break;
        case DoubleType: {
            double d;
            std::memcpy(&d, &u, 8);
            c.statistics.addDouble(d);
            break;
        }
        default:
            c.statistics.addText(bytes);
        }
    }

    // Looks the page's values up in the dictionary, adding new ones, into
    // indices_; the statistics see each new entry once. When the dictionary
    // would pass its limit, the rest of the chunk is plain: the values not
    // yet looked up are measured here, and false returned.
    bool lookUpPage(Column& c)
    {
        indices_.clear();
        bool full = false;
        forEachValue(c, [&](std::string_view value) {
            if (full) {
                measure(c, value);
                return;
            }
            bool added = false;
            const std::uint32_t index = c.dictionary.find(value, options_.dictionaryBytes, added);
            if (index == Dictionary::full) {
                full = true;
                measure(c, value);
                return;
            }
            if (added)
                measure(c, value);
            indices_.push_back(index);
        });
        return !full;
    }

    void flushPage(Column& c)
    {
        if (c.pageValues == 0 || failed_)
            return;
        body_.clear();
        if (c.spec.optional) {
            levelBytes_.clear();
            appendRleHybrid(levelBytes_, c.levels, 1);
            appendLittleEndian32(body_, static_cast<std::uint32_t>(levelBytes_.size()));
            body_.append(levelBytes_);
        }
        std::int32_t encoding = PlainEncoding;
        if (c.dictionaryMode) {
            if (!lookUpPage(c)) {
                c.dictionaryMode = false;
            } else if (!indices_.empty()) {
                const int indexWidth = std::max(1, bitWidthFor(c.dictionary.size() - 1));
                // The first page decides whether the dictionary pays: when it
                // and the indices are not smaller than the plain values, the
                // chunk is written plain.
                const std::size_t encoded =
                    c.dictionary.plain().size() + (indices_.size() * static_cast<std::size_t>(indexWidth) + 7) / 8;
                if (!c.dictionaryPages && !c.plainPages && encoded >= c.plain.size()) {
                    c.dictionaryMode = false;
                } else {
                    encoding = RleDictionaryEncoding;
                    body_.push_back(static_cast<char>(indexWidth));
                    appendRleHybrid(body_, indices_, indexWidth);
                }
            }
            if (!c.dictionaryMode && !c.dictionaryPages)
                c.dictionary.clear();
        } else {
            forEachValue(c, [&](std::string_view value) { measure(c, value); });
        }
        if (encoding == PlainEncoding) {
            body_.append(c.plain.view());
            c.plainPages = true;
        } else {
            c.dictionaryPages = true;
        }
        const auto values = static_cast<std::int32_t>(c.pageValues);
        c.uncompressedBytes += appendPage(c.pages, DataPage, body_, [&](ThriftCompactWriter& w) {
            w.beginStruct(5);
            w.i32(1, values);
            w.i32(2, encoding);
            w.i32(3, RleEncoding);
            w.i32(4, RleEncoding);
            w.end();
        });
        c.values += c.pageValues;
        c.levels.clear();
        c.plain.clear();
        c.pageValues = 0;
    }

    // Appends a page header and the page's (compressed) body to `out`;
    // returns the bytes the page takes uncompressed, header included.
    template <typename Header>
    std::uint64_t appendPage(std::string& out, std::int32_t type, std::string_view body, Header&& typeHeader)
    {
        std::string_view stored = body;
        if (zstd_) {
            compressed_.resize(ZSTD_compressBound(body.size()));
            const std::size_t n =
                ZSTD_compressCCtx(zstd_, compressed_.data(), compressed_.size(), body.data(), body.size(),
                                  options_.zstdLevel);
            if (ZSTD_isError(n)) {
                fail(ParquetWriteError::Kind::CannotWrite, nullptr,
                     std::string("zstd could not compress a page: ") + ZSTD_getErrorName(n));
                return 0;
            }
            stored = std::string_view(compressed_.data(), n);
        }
        header_.clear();
        ThriftCompactWriter w(header_);
        w.i32(1, type);
        w.i32(2, static_cast<std::int32_t>(body.size()));
        w.i32(3, static_cast<std::int32_t>(stored.size()));
        typeHeader(w);
        w.end();
        out.append(header_);
        out.append(stored);
        return header_.size() + body.size();
    }

    void write(std::string_view bytes)
    {
        output_.writeBytes(bytes);
        position_ += bytes.size();
    }

    void writeRowGroup()
    {
        if (failed_ || groupRows_ == 0)
            return;
        if (position_ == 0)
            write(magic);
        const std::uint64_t groupStart = position_;
        std::uint64_t groupUncompressed = 0;
        ThriftCompactWriter group(rowGroupBytesEncoded_);
        group.beginList(1, ThriftType::Struct, columns_.size());
        for (Column& c : columns_) {
            flushPage(c);
            if (failed_)
                return;
            const std::uint64_t chunkStart = position_;
            std::uint64_t uncompressed = c.uncompressedBytes;
            if (c.dictionaryPages) {
                dictionaryPage_.clear();
                const auto entries = static_cast<std::int32_t>(c.dictionary.size());
                uncompressed += appendPage(dictionaryPage_, DictionaryPage, c.dictionary.plain(),
                                           [&](ThriftCompactWriter& w) {
                                               w.beginStruct(7);
                                               w.i32(1, entries);
                                               w.i32(2, PlainEncoding);
                                               w.end();
                                           });
                write(dictionaryPage_);
            }
            const std::uint64_t dataStart = position_;
            write(c.pages);
            encodeColumnChunk(group, c, chunkStart, dataStart, uncompressed, position_ - chunkStart);
            groupUncompressed += uncompressed;
            resetChunk(c);
        }
        group.i64(2, static_cast<std::int64_t>(groupUncompressed));
        group.i64(3, static_cast<std::int64_t>(groupRows_));
        group.i64(5, static_cast<std::int64_t>(groupStart));
        group.i64(6, static_cast<std::int64_t>(position_ - groupStart));
        if (rowGroupCount_ <= std::numeric_limits<std::int16_t>::max())
            group.i16(7, static_cast<std::int16_t>(rowGroupCount_));
        group.end();
        ++rowGroupCount_;
        groupRows_ = 0;
        bufferedBytes_ = 0;
        if (output_.failed())
            writeFailed();
    }

    void resetChunk(Column& c)
    {
        c.dictionary.clear();
        c.dictionaryMode = true;
        c.dictionaryPages = false;
        c.plainPages = false;
        c.pages.clear();
        c.uncompressedBytes = 0;
        c.values = 0;
        c.statistics.clear();
    }

    void encodeColumnChunk(ThriftCompactWriter& w, const Column& c, std::uint64_t chunkStart, std::uint64_t dataStart,
                           std::uint64_t uncompressed, std::uint64_t compressed)
    {
        w.beginElement();
        w.i64(2, 0); // file_offset: no metadata outside the footer
        w.beginStruct(3);
        w.i32(1, c.physical());
        const std::size_t encodings = 1 + (c.spec.optional ? 1 : 0) + (c.dictionaryPages ? 1 : 0);
        w.beginList(2, ThriftType::I32, encodings);
        w.elementI32(PlainEncoding); // plain pages or the dictionary page
        if (c.spec.optional)
            w.elementI32(RleEncoding);
        if (c.dictionaryPages)
            w.elementI32(RleDictionaryEncoding);
        w.beginList(3, ThriftType::Binary, 1);
        w.elementBinary(c.spec.name);
        w.i32(4, zstd_ ? ZstdCodec : Uncompressed);
        w.i64(5, static_cast<std::int64_t>(c.values));
        w.i64(6, static_cast<std::int64_t>(uncompressed));
        w.i64(7, static_cast<std::int64_t>(compressed));
        w.i64(9, static_cast<std::int64_t>(dataStart));
        if (c.dictionaryPages)
            w.i64(11, static_cast<std::int64_t>(chunkStart));
        encodeStatistics(w, c);
        w.end(); // ColumnMetaData
        w.end(); // ColumnChunk
    }

    void encodeStatistics(ThriftCompactWriter& w, const Column& c)
    {
        const Statistics& s = c.statistics;
        w.beginStruct(12);
        w.i64(3, static_cast<std::int64_t>(s.nulls));
        if (s.any) {
            std::string min;
            std::string max;
            bool minExact = true;
            bool maxExact = true;
            bool hasMax = true;
            switch (c.physical()) {
            case Int32Type:
                appendLittleEndian32(max, static_cast<std::uint32_t>(s.maxInt));
                appendLittleEndian32(min, static_cast<std::uint32_t>(s.minInt));
                break;
            case Int64Type:
                appendLittleEndian64(max, static_cast<std::uint64_t>(s.maxInt));
                appendLittleEndian64(min, static_cast<std::uint64_t>(s.minInt));
                break;
            case DoubleType:
                // Zero is written as -0.0 for a minimum and +0.0 for a maximum,
                // so a reader comparing signed zeros keeps both in range.
                appendLittleEndian64(max, doubleBits(s.maxDouble == 0 ? 0.0 : s.maxDouble));
                appendLittleEndian64(min, doubleBits(s.minDouble == 0 ? -0.0 : s.minDouble));
                break;
            default: {
                const std::size_t limit = std::max<std::size_t>(options_.statisticsBytes, 1);
                min.assign(utf8Prefix(s.minText, limit));
                minExact = min.size() == s.minText.size();
                if (s.maxText.size() <= limit) {
                    max = s.maxText;
                } else {
                    maxExact = false;
                    hasMax = utf8UpperBound(s.maxText, limit, max);
                }
            }
            }
            if (hasMax)
                w.binary(5, max);
            w.binary(6, min);
            if (c.physical() == ByteArrayType) {
                if (hasMax)
                    w.boolean(7, maxExact);
                w.boolean(8, minExact);
            }
        }
        w.end();
    }

    void encodeFooter(std::string& out)
    {
        ThriftCompactWriter w(out);
        w.i32(1, 2);
        w.beginList(2, ThriftType::Struct, columns_.size() + 1);
        w.beginElement();
        w.binary(4, "schema");
        w.i32(5, static_cast<std::int32_t>(columns_.size()));
        w.end();
        for (const Column& c : columns_) {
            w.beginElement();
            w.i32(1, c.physical());
            w.i32(3, c.spec.optional ? Optional : Required);
            w.binary(4, c.spec.name);
            switch (c.spec.type) {
            case ParquetType::String:
                w.i32(6, Utf8Converted);
                w.beginStruct(10);
                w.beginStruct(1); // STRING
                w.end();
                w.end();
                break;
            case ParquetType::Date:
                w.i32(6, DateConverted);
                w.beginStruct(10);
                w.beginStruct(6); // DATE
                w.end();
                w.end();
                break;
            case ParquetType::Decimal:
                w.i32(6, DecimalConverted);
                w.i32(7, c.spec.scale);
                w.i32(8, c.spec.precision);
                w.beginStruct(10);
                w.beginStruct(5); // DECIMAL
                w.i32(1, c.spec.scale);
                w.i32(2, c.spec.precision);
                w.end();
                w.end();
                break;
            default:
                break;
            }
            w.end();
        }
        w.i64(3, static_cast<std::int64_t>(rows_));
        w.beginList(4, ThriftType::Struct, rowGroupCount_);
        w.elementsEncoded(rowGroupBytesEncoded_);
        if (!metadata_.empty()) {
            w.beginList(5, ThriftType::Struct, metadata_.size());
            for (const auto& [key, value] : metadata_) {
                w.beginElement();
                w.binary(1, key);
                w.binary(2, value);
                w.end();
            }
        }
        w.binary(6, "qavn version " QAVN_VERSION);
        // Every column sorts by its type's order (signed numbers, bytewise
        // unsigned text), which makes min_value and max_value usable.
        w.beginList(7, ThriftType::Struct, columns_.size());
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            w.beginElement();
            w.beginStruct(1); // TYPE_ORDER
            w.end();
            w.end();
        }
        w.end();
    }

    TextOutput& output_;
    ParquetOptions options_;
    std::vector<Column> columns_;
    std::vector<std::pair<std::string, std::string>> metadata_;
    ZSTD_CCtx* zstd_ = nullptr;

    std::size_t cursor_ = 0;
    std::uint64_t rows_ = 0;
    std::uint64_t groupRows_ = 0;
    std::size_t bufferedBytes_ = 0;
    std::uint64_t position_ = 0;
    std::size_t rowGroupCount_ = 0;
    std::string rowGroupBytesEncoded_;

    // Scratch buffers kept from page to page.
    std::vector<std::uint32_t> indices_;
    std::string body_;
    std::string levelBytes_;
    std::string compressed_;
    std::string header_;
    std::string dictionaryPage_;

    bool finished_ = false;
    bool failed_ = false;
    ParquetWriteError error_;
};

ParquetWriter::ParquetWriter(TextOutput& output, std::vector<ParquetColumn> columns, ParquetOptions options)
    : impl_(std::make_unique<Impl>(output, std::move(columns), options))
{
}

ParquetWriter::~ParquetWriter() = default;

void ParquetWriter::addMetadata(std::string_view key, std::string_view value)
{
    impl_->addMetadata(key, value);
}
void ParquetWriter::addNull()
{
    impl_->addNull();
}
void ParquetWriter::addInt32(std::int32_t value)
{
    impl_->addInt32(value);
}
void ParquetWriter::addInt64(std::int64_t value)
{
    impl_->addInt64(value);
}
void ParquetWriter::addDouble(double value)
{
    impl_->addDouble(value);
}
void ParquetWriter::addDecimal(std::int64_t unscaled)
{
    impl_->addDecimal(unscaled);
}
void ParquetWriter::addString(std::string_view utf8)
{
    impl_->addString(utf8);
}
void ParquetWriter::addDate(std::int32_t daysSinceEpoch)
{
    impl_->addDate(daysSinceEpoch);
}
bool ParquetWriter::endRow()
{
    return impl_->endRow();
}
bool ParquetWriter::finish()
{
    return impl_->finish();
}
bool ParquetWriter::failed() const
{
    return impl_->failed();
}
const ParquetWriteError& ParquetWriter::error() const
{
    return impl_->error();
}
std::uint64_t ParquetWriter::rows() const
{
    return impl_->rows();
}
std::size_t ParquetWriter::rowGroups() const
{
    return impl_->rowGroups();
}

} // namespace qavn
