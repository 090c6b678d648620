// The Parquet writer fed a fuzzed schema, fuzzed options (tiny pages, row
// groups and dictionaries, statistics cut short, with or without zstd) and
// fuzzed rows of every type, nulls, NaN, signed zeros and text that may not
// be UTF-8. The file is read back whole by the tests' own reader, which
// checks the footer, every page, the sizes, offsets and statistics: every
// value must come back as written. A refused value names its column and
// row; an output that fails is reported as a failed write.

#include "FuzzSupport.h"
#include "ParquetReadBack.h"

#include "formats/ParquetEncoding.h"
#include "formats/ParquetWriter.h"
#include "platform/TextOutput.h"

#include <cstring>

using namespace qavn;
using test::ParquetCell;

namespace {

// The input read from the front; zeros once it runs out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint64_t bytes(int n)
    {
        std::uint64_t v = 0;
        for (int i = 0; i < n; ++i)
            v |= static_cast<std::uint64_t>(byte()) << (8 * i);
        return v;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// An output that collects what it is given and fails from byte `failAt` on,
// as a full disk would.
class FailingOutput final : public TextOutput {
public:
    explicit FailingOutput(std::size_t failAt) : failAt_(failAt) {}
    std::string bytes;

protected:
    bool writeRaw(const char* data, std::size_t size, std::string& error) override
    {
        if (bytes.size() + size > failAt_) {
            error = "No space left on device";
            return false;
        }
        bytes.append(data, size);
        return true;
    }

private:
    std::size_t failAt_;
};

std::string text(Input& in)
{
    const std::uint8_t mode = in.byte();
    const std::size_t length = mode % 24;
    std::string s;
    if (mode & 0x80) { // raw bytes, often not UTF-8
        for (std::size_t i = 0; i < length; ++i)
            s.push_back(static_cast<char>(in.byte()));
    } else if (mode & 0x40) { // few letters: a dictionary that holds
        for (std::size_t i = 0; i < length % 3; ++i)
            s.push_back(static_cast<char>('a' + in.byte() % 2));
    } else { // ASCII and two-byte letters
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint8_t c = in.byte();
            if (c < 0xC0)
                s.push_back(static_cast<char>(' ' + c % 95));
            else
                s += "\xC3\xA9";
        }
    }
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in(data, size);
    std::vector<ParquetColumn> columns(1 + in.byte() % 6);
    bool clash = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ParquetColumn& c = columns[i];
        const std::uint8_t b = in.byte();
        c.type = static_cast<ParquetType>(b % 6);
        c.optional = (b & 0x10) != 0;
        c.name = "c" + std::to_string(i);
        if ((b & 0xE0) == 0xE0 && i > 0) {
            c.name = "C" + std::to_string(i - 1); // the same name as the one before, letter case aside
            clash = true;
        }
        c.precision = 1 + in.byte() % 18;
        c.scale = in.byte() % (c.precision + 1);
    }
    ParquetOptions options;
    options.rowGroupRows = 1 + in.byte() % 100;
    options.rowGroupBytes = 16 + in.bytes(2) % 4096;
    options.pageRows = 1 + in.byte() % 40;
    options.pageBytes = 8 + in.bytes(2) % 1024;
    options.dictionaryBytes = in.bytes(2) % 512;
    options.statisticsBytes = in.byte() % 40;
    options.compression = in.byte() & 1 ? ParquetCompression::Zstd : ParquetCompression::None;
    const std::uint8_t failing = in.byte();
    FailingOutput output(failing < 32 ? static_cast<std::size_t>(failing) * 16 : std::size_t(-1));

    std::vector<std::vector<ParquetCell>> expected(columns.size());
    bool refused = false;
    std::uint64_t row = 0;
    {
        ParquetWriter writer(output, columns, options);
        if (clash) {
            fuzz::require(writer.failed() && writer.error().kind == ParquetWriteError::Kind::InvalidSchema,
                          "a name taken twice is refused");
            return 0;
        }
        fuzz::require(!writer.failed(), "a valid schema is taken");
        while (!in.empty() && !refused && row < 2000) {
            ++row;
            for (std::size_t i = 0; i < columns.size() && !refused; ++i) {
                const ParquetColumn& c = columns[i];
                if (c.optional && in.byte() % 5 == 0) {
                    writer.addNull();
                    expected[i].push_back(ParquetCell::null());
                    continue;
                }
                switch (c.type) {
                case ParquetType::Int32:
                case ParquetType::Date: {
                    const auto v = static_cast<std::int32_t>(in.bytes(in.byte() % 5));
                    c.type == ParquetType::Int32 ? writer.addInt32(v) : writer.addDate(v);
                    expected[i].push_back(ParquetCell::ofInt(v));
                    break;
                }
                case ParquetType::Int64: {
                    const auto v = static_cast<std::int64_t>(in.bytes(in.byte() % 9));
                    writer.addInt64(v);
                    expected[i].push_back(ParquetCell::ofInt(v));
                    break;
                }
                case ParquetType::Decimal: {
                    std::int64_t limit = 1;
                    for (int d = 0; d < c.precision; ++d)
                        limit *= 10;
                    const std::uint64_t raw = in.bytes(in.byte() % 9);
                    // Now and then one past the precision, which must be refused.
                    std::int64_t v = static_cast<std::int64_t>(raw % static_cast<std::uint64_t>(limit));
                    if ((raw & 0xFF) == 0xFF)
                        v = limit;
                    if (raw & 1)
                        v = -v;
                    writer.addDecimal(v);
                    if (v >= limit || v <= -limit) {
                        fuzz::require(writer.failed() && writer.error().column == c.name && writer.error().row == row,
                                      "a decimal too wide is refused with its column and row");
                        refused = true;
                    } else {
                        expected[i].push_back(ParquetCell::ofInt(v));
                    }
                    break;
                }
                case ParquetType::Double: {
                    const std::uint64_t bits = in.bytes(8);
                    double v;
                    std::memcpy(&v, &bits, 8);
                    writer.addDouble(v);
                    expected[i].push_back(ParquetCell::ofDouble(v));
                    break;
                }
                case ParquetType::String: {
                    std::string s = text(in);
                    writer.addString(s);
                    if (invalidUtf8At(s) != std::string::npos) {
                        fuzz::require(writer.failed() && writer.error().column == c.name && writer.error().row == row &&
                                          writer.error().kind == ParquetWriteError::Kind::InvalidValue,
                                      "text that is not UTF-8 is refused with its column and row");
                        refused = true;
                    } else {
                        expected[i].push_back(ParquetCell::ofBytes(std::move(s)));
                    }
                    break;
                }
                }
            }
            if (!refused && !writer.endRow()) {
                // Only a row group that did not reach the output stops the rows.
                fuzz::require(output.failed() && writer.error().kind == ParquetWriteError::Kind::CannotWrite,
                              "a whole row is taken");
                return 0;
            }
        }
        if (refused) {
            fuzz::require(!writer.endRow() && !writer.finish(), "a refused value fails the file");
            return 0;
        }
        writer.addMetadata("fuzz", std::to_string(row));
        const bool finished = writer.finish();
        if (output.failed()) {
            fuzz::require(!finished && writer.error().kind == ParquetWriteError::Kind::CannotWrite &&
                              writer.error().reason == "No space left on device",
                          "a failed write is reported with the system's text");
            return 0;
        }
        fuzz::require(finished, "a file of valid values is finished");
    }

    test::ParquetReadBack file;
    const std::string fault = test::readParquet(output.bytes, file);
    if (!fault.empty()) {
        std::fprintf(stderr, "reader: %s\n", fault.c_str());
        fuzz::require(false, "the file reads back");
    }
    fuzz::require(file.rows == static_cast<std::int64_t>(row), "the footer counts every row");
    fuzz::require(file.columns.size() == columns.size(), "every column is in the schema");
    for (std::size_t i = 0; i < columns.size(); ++i)
        fuzz::require(file.columns[i].cells == expected[i], "every value comes back as written");
    fuzz::require(file.metadata.size() == 1 && file.metadata[0].second == std::to_string(row),
                  "the key-value metadata comes back");
    return 0;
}
