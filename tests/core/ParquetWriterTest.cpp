// The Parquet writer: the Thrift compact encoding and the RLE / bit-packing
// hybrid against the bytes the formats' documents give, UTF-8 checks, and
// whole files read back by the tests' own reader (values, pages,
// dictionaries, statistics) and refused input. DuckDB and hyparquet read
// the files too, in tests/scripts/parquet_readers.sh.

#include "ParquetReadBack.h"

#include "formats/ParquetEncoding.h"
#include "formats/ParquetWriter.h"
#include "formats/ThriftCompact.h"
#include "platform/TextOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <random>

#include <unistd.h>

namespace qavn {
namespace {

using test::ParquetCell;
using test::ParquetReadBack;

std::string hex(std::string_view bytes)
{
    std::string out;
    char b[4];
    for (const char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(c));
        out += b;
    }
    if (!out.empty())
        out.pop_back();
    return out;
}

TEST(ThriftCompact, EncodesAsTheProtocolDescribes)
{
    struct Case {
        const char* what;
        std::function<void(ThriftCompactWriter&)> write;
        std::string bytes;
    };
    const Case cases[] = {
        {"short field headers, zigzag values", [](ThriftCompactWriter& w) { w.i32(1, 0); w.i32(2, -1); w.i64(3, 300); },
         "15 00 15 01 16 D8 04"},
        {"a jump over 15 ids and a step back take the long header",
         [](ThriftCompactWriter& w) { w.i32(20, 1); w.i32(3, 1); }, "05 28 02 05 06 02"},
        {"bools in the type nibble, binary with its length",
         [](ThriftCompactWriter& w) { w.boolean(1, true); w.boolean(2, false); w.binary(3, "ab"); },
         "11 12 18 02 61 62"},
        {"the extremes of i64 and i16",
         [](ThriftCompactWriter& w) { w.i64(1, std::numeric_limits<std::int64_t>::min()); w.i16(2, -32768); },
         "16 FF FF FF FF FF FF FF FF FF 01 14 FF FF 03"},
        {"a short list and a long one",
         [](ThriftCompactWriter& w) {
             w.beginList(1, ThriftType::I32, 2);
             w.elementI32(1);
             w.elementI32(-2);
             w.beginList(2, ThriftType::Binary, 15);
             for (int i = 0; i < 15; ++i)
                 w.elementBinary("");
         },
         "19 25 02 03 19 F8 0F 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"a nested struct keeps the outer struct's last id",
         [](ThriftCompactWriter& w) {
             w.i32(1, 1);
             w.beginStruct(3);
             w.i32(1, 7);
             w.end();
             w.i32(4, 2);
             w.beginList(5, ThriftType::Struct, 1);
             w.beginElement();
             w.i32(2, 1);
             w.end();
             w.end();
         },
         "15 02 2C 15 0E 00 15 04 19 1C 25 02 00 00"},
    };
    for (const Case& c : cases) {
        std::string out;
        ThriftCompactWriter w(out);
        c.write(w);
        EXPECT_EQ(hex(out), c.bytes) << c.what;
    }
}

TEST(ParquetEncoding, RleHybridWritesDocumentedRunsAndReadsBack)
{
    struct Case {
        std::vector<std::uint32_t> values;
        int width;
        std::string bytes;
    };
    std::vector<std::uint32_t> eightThenOther(8, 1);
    eightThenOther.push_back(0);
    const Case cases[] = {
        {{0, 1, 2, 3, 4, 5, 6, 7}, 3, "03 88 C6 FA"},         // the format's own example
        {std::vector<std::uint32_t>(1000, 5), 3, "D0 0F 05"}, // one RLE run
        {eightThenOther, 1, "10 01 03 00"},                   // a run, then a padded group
        {{1, 2, 3}, 2, "03 39 00"},                           // 2 bits a value: one group, two bytes
        {std::vector<std::uint32_t>(9, 70000), 17, "12 70 11 01"}, // three value bytes
    };
    for (const Case& c : cases) {
        std::string out;
        appendRleHybrid(out, c.values, c.width);
        EXPECT_EQ(hex(out), c.bytes);
    }

    // Random runs and noise of every width decode to what went in.
    std::mt19937 random(7);
    for (int width = 1; width <= 32; ++width) {
        std::vector<std::uint32_t> values;
        const std::uint64_t range = std::uint64_t(1) << width;
        while (values.size() < 3000) {
            const auto v = static_cast<std::uint32_t>(random() % range);
            const std::size_t repeat = random() % 4 == 0 ? random() % 40 : 1;
            values.insert(values.end(), repeat, v);
        }
        std::string out;
        appendRleHybrid(out, values, width);
        std::vector<std::uint32_t> back;
        std::size_t used = 0;
        ASSERT_TRUE(test::decodeRleHybrid(out, width, values.size(), back, used)) << width;
        EXPECT_EQ(used, out.size()) << width;
        EXPECT_EQ(back, values) << width;
    }
    EXPECT_EQ(bitWidthFor(0), 0);
    EXPECT_EQ(bitWidthFor(1), 1);
    EXPECT_EQ(bitWidthFor(255), 8);
    EXPECT_EQ(bitWidthFor(256), 9);
}

TEST(ParquetEncoding, Utf8IsCheckedAndCutOnCharacterBoundaries)
{
    struct Case {
        std::string text;
        std::size_t badAt;
    };
    const std::size_t ok = std::string_view::npos;
    const Case cases[] = {
        {"plain ASCII, longer than eight bytes", ok},
        {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", ok},
        {"caf\xE9", 3},                 // Latin-1, not converted
        {"ab\xC0\x80", 2},              // overlong NUL
        {"\xE0\x80\x80", 0},            // overlong three bytes
        {"x\xED\xA0\x80", 1},           // a surrogate
        {"\xF4\x90\x80\x80", 0},        // above U+10FFFF
        {"12345678\xC3", 8},            // cut short at the end
        {"\x80", 0},                    // a lone continuation byte
        {"\xC3\xA9\xC3\x28", 2},        // a continuation byte missing
    };
    for (const Case& c : cases)
        EXPECT_EQ(invalidUtf8At(c.text), c.badAt) << hex(c.text);

    EXPECT_EQ(utf8Prefix("ab\xC3\xA9z", 3), "ab");
    EXPECT_EQ(utf8Prefix("ab\xC3\xA9z", 4), "ab\xC3\xA9");
    std::string bound;
    ASSERT_TRUE(utf8UpperBound("abc\xC3\xA9xyz", 5, bound));
    EXPECT_EQ(bound, "abd");
    EXPECT_GT(bound, std::string("abc\xC3\xA9xyz"));
    ASSERT_TRUE(utf8UpperBound("a\x7F\x7Fz", 3, bound));
    EXPECT_EQ(bound, "b");
    EXPECT_FALSE(utf8UpperBound("\xC3\xA9\xC3\xA9", 3, bound));
}

// A file written into memory and read back.
struct Written {
    std::string bytes;
    ParquetReadBack file;
    std::string fault; // the reader's
};

Written write(const std::vector<ParquetColumn>& columns, std::size_t rows,
              const std::function<void(ParquetWriter&, std::size_t)>& row, const ParquetOptions& options = {})
{
    StringTextOutput output;
    ParquetWriter writer(output, columns, options);
    for (std::size_t r = 0; r < rows; ++r) {
        row(writer, r);
        EXPECT_TRUE(writer.endRow()) << describe(writer.error());
    }
    writer.addMetadata("qavn.labels", "{\"AGE\": \"Age at \xC3\xA9t\xC3\xA9\"}");
    EXPECT_TRUE(writer.finish()) << describe(writer.error());
    Written w;
    w.bytes = output.text();
    w.fault = test::readParquet(w.bytes, w.file);
    return w;
}

ParquetCell text(std::string s)
{
    return ParquetCell::ofBytes(std::move(s));
}

TEST(ParquetWriter, EveryTypeRoundTripsThroughRowGroupsPagesAndDictionaries)
{
    const std::vector<ParquetColumn> columns = {
        {"id", ParquetType::Int32, false},
        {"total", ParquetType::Int64},
        {"share", ParquetType::Double},
        {"amount", ParquetType::Decimal, true, 7, 2},
        {"big", ParquetType::Decimal, true, 18, 4},
        {"label", ParquetType::String},   // five values: a dictionary
        {"note", ParquetType::String},    // a new value each row: plain
        {"grows", ParquetType::String},   // few values, then new ones: falls back
        {"born", ParquetType::Date},
    };
    const std::string labels[] = {"Yes", "No", "\"quoted\", with commas", "\xC3\xA9t\xC3\xA9", ""};
    std::vector<std::vector<ParquetCell>> expected(columns.size());
    auto row = [&](ParquetWriter& w, std::size_t r) {
        const auto i = static_cast<std::int64_t>(r);
        auto put = [&](std::size_t column, const ParquetCell& cell) { expected[column].push_back(cell); };
        w.addInt32(static_cast<std::int32_t>(i - 100));
        put(0, ParquetCell::ofInt(i - 100));
        if (r % 7 == 3) {
            w.addNull();
            put(1, ParquetCell::null());
        } else {
            w.addInt64(i * 1'000'000'007LL - 5);
            put(1, ParquetCell::ofInt(i * 1'000'000'007LL - 5));
        }
        const double share = r % 11 == 0 ? std::nan("") : static_cast<double>(i) / 8 - 3;
        w.addDouble(share);
        put(2, ParquetCell::ofDouble(share));
        w.addDecimal(-99999 + i * 37);
        put(3, ParquetCell::ofInt(-99999 + i * 37));
        w.addDecimal(i * 123456789012345LL);
        put(4, ParquetCell::ofInt(i * 123456789012345LL));
        if (r % 5 == 4) {
            w.addNull();
            put(5, ParquetCell::null());
        } else {
            w.addString(labels[r % 5]);
            put(5, text(labels[r % 5]));
        }
        const std::string note = "note " + std::to_string(r * 7919 % 10007);
        w.addString(note);
        put(6, text(note));
        const std::string grows = r < 300 ? "v" + std::to_string(r % 3) : "value number " + std::to_string(r);
        w.addString(grows);
        put(7, text(grows));
        w.addDate(static_cast<std::int32_t>(19000 + i));
        put(8, ParquetCell::ofInt(19000 + i));
    };
    ParquetOptions options;
    options.rowGroupRows = 400;
    options.pageRows = 150;
    options.dictionaryBytes = 600;
    for (const ParquetCompression compression : {ParquetCompression::Zstd, ParquetCompression::None}) {
        options.compression = compression;
        for (auto& e : expected)
            e.clear();
        const Written w = write(columns, 1000, row, options);
        ASSERT_EQ(w.fault, "");
        const ParquetReadBack& f = w.file;
        EXPECT_EQ(f.rows, 1000);
        EXPECT_EQ(f.rowGroupRows, (std::vector<std::int64_t>{400, 400, 200}));
        EXPECT_TRUE(f.typeDefinedOrder);
        EXPECT_TRUE(f.createdBy.starts_with("qavn version "));
        ASSERT_EQ(f.metadata.size(), 1u);
        EXPECT_EQ(f.metadata[0].second, "{\"AGE\": \"Age at \xC3\xA9t\xC3\xA9\"}");
        ASSERT_EQ(f.columns.size(), columns.size());
        for (std::size_t c = 0; c < columns.size(); ++c) {
            EXPECT_EQ(f.columns[c].name, columns[c].name);
            EXPECT_TRUE(f.columns[c].cells == expected[c]) << columns[c].name;
        }
        // Types as declared: INT32 required; DECIMAL on INT32 and INT64;
        // STRING and DATE annotated both ways.
        EXPECT_EQ(f.columns[0].repetition, 0);
        EXPECT_EQ(f.columns[1].repetition, 1);
        EXPECT_EQ(f.columns[3].physicalType, 1);
        EXPECT_EQ(f.columns[4].physicalType, 2);
        EXPECT_EQ(f.columns[4].scale, 4);
        EXPECT_EQ(f.columns[4].precision, 18);
        EXPECT_EQ(f.columns[4].logicalType, 5);
        EXPECT_EQ(f.columns[5].physicalType, 6);
        EXPECT_EQ(f.columns[5].convertedType, 0);
        EXPECT_EQ(f.columns[5].logicalType, 1);
        EXPECT_EQ(f.columns[8].convertedType, 6);
        EXPECT_EQ(f.columns[8].logicalType, 6);

        const auto& first = f.chunks[0];
        for (const auto& chunk : first) {
            EXPECT_EQ(chunk.codec, compression == ParquetCompression::Zstd ? 6 : 0);
            EXPECT_LE(chunk.largestPageValues, 150u);
        }
        EXPECT_TRUE(first[5].dictionaryPage);
        EXPECT_EQ(first[5].plainDataPages, 0);
        EXPECT_FALSE(first[6].dictionaryPage) << "unique values are written plain";
        EXPECT_GT(first[7].dictionaryDataPages, 0) << "the first 300 rows use the dictionary";
        EXPECT_GT(first[7].plainDataPages, 0) << "the rest falls back to plain";
        EXPECT_FALSE(f.chunks[1][7].dictionaryPage) << "a new row group starts afresh and drops it";
    }
}

TEST(ParquetWriter, StatisticsFollowEachTypesOrder)
{
    const std::vector<ParquetColumn> columns = {
        {"n", ParquetType::Int32},
        {"x", ParquetType::Double},
        {"zero", ParquetType::Double},
        {"t", ParquetType::String},
        {"long", ParquetType::String},
        {"none", ParquetType::Date},
    };
    const std::string longA = std::string(300, 'a') + "\xC3\xA9";
    const std::string longB = std::string(255, 'b') + "\xC3\xA9\xC3\xA9";
    auto row = [&](ParquetWriter& w, std::size_t r) {
        const int n[] = {-5, 3, -70000, 12};
        w.addInt32(n[r]);
        const double x[] = {std::nan(""), -2.5, 1e300, 0.5};
        w.addDouble(x[r]);
        w.addDouble(r % 2 ? -0.0 : 0.0);
        // Bytes above 127 sort after ASCII, as unsigned bytes do.
        const char* t[] = {"zebra", "\xC3\xA9t\xC3\xA9", "Apple", "apple"};
        w.addString(t[r]);
        w.addString(r % 2 ? longA : longB);
        w.addNull();
    };
    ParquetOptions options;
    options.statisticsBytes = 256;
    const Written w = write(columns, 4, row, options);
    ASSERT_EQ(w.fault, "") << "the reader checks min, max and null count against the values";
    const auto& chunks = w.file.chunks.at(0);
    auto i32 = [](std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto f64 = [](double v) { return std::string(reinterpret_cast<const char*>(&v), 8); };
    EXPECT_EQ(chunks[0].minValue, i32(-70000));
    EXPECT_EQ(chunks[0].maxValue, i32(12));
    EXPECT_EQ(chunks[1].minValue, f64(-2.5)) << "NaN is left out";
    EXPECT_EQ(chunks[1].maxValue, f64(1e300));
    EXPECT_EQ(chunks[2].minValue, f64(-0.0));
    EXPECT_EQ(chunks[2].maxValue, f64(0.0));
    EXPECT_EQ(chunks[3].minValue, "Apple");
    EXPECT_EQ(chunks[3].maxValue, "\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(chunks[3].minExact, true);
    // Cut at 256 bytes on a character boundary, the maximum by a bound.
    EXPECT_EQ(chunks[4].minValue, std::string(256, 'a'));
    EXPECT_EQ(chunks[4].minExact, false);
    EXPECT_EQ(chunks[4].maxValue, std::string(254, 'b') + "c");
    EXPECT_EQ(chunks[4].maxExact, false);
    EXPECT_EQ(chunks[5].nullCount, 4);
    EXPECT_FALSE(chunks[5].minValue.has_value());
    for (const auto& chunk : chunks)
        EXPECT_TRUE(chunk.nullCount.has_value());
}

TEST(ParquetWriter, RowGroupsAreBoundedByRowsAndBytes)
{
    const std::vector<ParquetColumn> columns = {{"a", ParquetType::Int64, false}, {"b", ParquetType::String, false}};
    auto row = [](ParquetWriter& w, std::size_t r) {
        w.addInt64(static_cast<std::int64_t>(r));
        w.addString(std::string(r % 50, 'x')); // 4..53 bytes a value, 12..61 a row
    };
    ParquetOptions options;
    options.rowGroupBytes = 10'000;
    options.pageBytes = 2'000;
    const Written w = write(columns, 5000, row, options);
    ASSERT_EQ(w.fault, "");
    std::size_t rows = 0;
    for (const std::int64_t n : w.file.rowGroupRows) {
        std::size_t bytes = 0;
        for (std::size_t r = rows; r < rows + static_cast<std::size_t>(n); ++r)
            bytes += 8 + 4 + r % 50;
        EXPECT_LT(bytes, 10'000u + 61) << "a row group ends with the row that fills it";
        rows += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(rows, 5000u);
    EXPECT_GT(w.file.rowGroupRows.size(), 15u);
    // An empty table is a valid file too.
    const Written empty = write(columns, 0, row);
    EXPECT_EQ(empty.fault, "");
    EXPECT_EQ(empty.file.rowGroupRows.size(), 0u);
}

TEST(ParquetWriter, RefusesWhatCannotBeWritten)
{
    using Kind = ParquetWriteError::Kind;
    struct Case {
        std::vector<ParquetColumn> columns;
        std::function<void(ParquetWriter&)> calls;
        Kind kind;
        std::string message;
    };
    const std::vector<ParquetColumn> two = {{"AGE", ParquetType::Int32, false}, {"NAME", ParquetType::String}};
    auto rows = [](int n) {
        return [n](ParquetWriter& w) {
            for (int i = 0; i < n; ++i) {
                w.addInt32(i);
                w.addString("ok");
                w.endRow();
            }
        };
    };
    const Case cases[] = {
        {{}, [](ParquetWriter&) {}, Kind::InvalidSchema, "a table needs at least one column"},
        {{{"a", ParquetType::Int32}, {"A", ParquetType::Double}}, [](ParquetWriter&) {}, Kind::InvalidSchema,
         "column A: the name is taken by column 1 (a)"},
        {{{"", ParquetType::Int32}}, [](ParquetWriter&) {}, Kind::InvalidSchema, "column 1 has no name"},
        {{{"d", ParquetType::Decimal, true, 19, 2}}, [](ParquetWriter&) {}, Kind::InvalidSchema,
         "column d: a decimal takes a precision of 1 to 18 digits and a scale from 0 to the precision, not (19, 2)"},
        {two, [&](ParquetWriter& w) { rows(2)(w); w.addNull(); }, Kind::InvalidValue,
         "column AGE, row 3: the column takes no null"},
        {two, [&](ParquetWriter& w) { rows(1)(w); w.addInt32(1); w.addString("caf\xE9"); }, Kind::InvalidValue,
         "column NAME, row 2: the text is not UTF-8 (byte 4 of 4)"},
        {two, [](ParquetWriter& w) { w.addString("x"); }, Kind::InvalidValue,
         "column AGE, row 1: a text value given for a INT32 column"},
        {two, [](ParquetWriter& w) { w.addInt32(1); w.endRow(); }, Kind::InvalidValue,
         "the row ends after 1 of 2 values"},
        {two, [](ParquetWriter& w) { w.addInt32(1); w.addNull(); w.addNull(); }, Kind::InvalidValue,
         "the row has more values than its 2 columns"},
        {{{"d", ParquetType::Decimal, true, 3, 1}}, [](ParquetWriter& w) { w.addDecimal(-1000); }, Kind::InvalidValue,
         "column d, row 1: the unscaled value -1000 has more than 3 digits"},
        {two, [](ParquetWriter& w) { w.addMetadata("k", "\xFF"); }, Kind::InvalidValue,
         "the metadata entry k is not UTF-8"},
        {two, [](ParquetWriter& w) { w.finish(); w.addInt32(1); }, Kind::InvalidValue,
         "the file is already finished"},
    };
    for (const Case& c : cases) {
        StringTextOutput output;
        ParquetWriter writer(output, c.columns);
        c.calls(writer);
        EXPECT_TRUE(writer.failed()) << c.message;
        EXPECT_EQ(writer.error().kind, c.kind) << c.message;
        EXPECT_EQ(describe(writer.error()), c.message);
        EXPECT_FALSE(writer.endRow());
        EXPECT_FALSE(writer.finish());
    }
}

TEST(ParquetWriter, AFailedWriteIsReportedAndLeavesNoFile)
{
    const auto dir = std::filesystem::temp_directory_path() / ("qavn-parquet-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / "out.parquet";
    for (const std::size_t failFrom : {1, 2}) {
        FileTextOutput output;
        ASSERT_TRUE(output.openHost(path));
        output.failFromWrite(failFrom);
        ParquetOptions options;
        options.rowGroupRows = 1000;
        ParquetWriter writer(output, {{"n", ParquetType::Int64}, {"t", ParquetType::String}}, options);
        std::uint64_t rows = 0;
        for (; rows < 200'000; ++rows) {
            writer.addInt64(static_cast<std::int64_t>(rows * 7919));
            writer.addString("value " + std::to_string(rows));
            if (!writer.endRow())
                break;
        }
        EXPECT_FALSE(writer.finish());
        EXPECT_EQ(writer.error().kind, ParquetWriteError::Kind::CannotWrite);
        EXPECT_NE(writer.error().reason.find("No space left on device"), std::string::npos) << writer.error().reason;
        EXPECT_LT(rows, 200'000u) << "the rows stop once a row group failed to reach the disk";
        output.discard();
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace qavn
