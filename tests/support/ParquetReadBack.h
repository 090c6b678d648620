// A small reader of the Parquet files this program writes, for the tests and
// the fuzz target: it decodes the footer, every page and every value, and
// checks the file's own invariants on the way (offsets, sizes, counts,
// encodings, statistics).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qavn::test {

// One cell: null, an integer (INT32 and INT64, also DATE and DECIMAL
// unscaled), a double or bytes.
struct ParquetCell {
    enum class Kind { Null, Int, Double, Bytes };
    Kind kind = Kind::Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;

    static ParquetCell null() { return {}; }
    static ParquetCell ofInt(std::int64_t v) { return {Kind::Int, v, 0, {}}; }
    static ParquetCell ofDouble(double v) { return {Kind::Double, 0, v, {}}; }
    static ParquetCell ofBytes(std::string v) { return {Kind::Bytes, 0, 0, std::move(v)}; }
    // Doubles compare by their bits, so NaN equals NaN and -0.0 is not 0.0.
    bool operator==(const ParquetCell& other) const;
};

// What one column chunk held and how it was written.
struct ParquetChunk {
    std::int32_t codec = 0;
    std::vector<std::int32_t> encodings; // as the metadata lists them
    bool dictionaryPage = false;
    int dictionaryDataPages = 0; // data pages of dictionary indices
    int plainDataPages = 0;
    std::uint64_t largestPageValues = 0;
    std::uint64_t uncompressedBytes = 0;
    std::optional<std::int64_t> nullCount;
    std::optional<std::string> minValue; // plain bytes, as the footer holds them
    std::optional<std::string> maxValue;
    std::optional<bool> minExact;
    std::optional<bool> maxExact;
};

struct ParquetReadColumn {
    std::string name;
    std::int32_t physicalType = 0;
    std::int32_t repetition = 0;
    std::optional<std::int32_t> convertedType;
    std::optional<std::int32_t> scale;
    std::optional<std::int32_t> precision;
    std::int16_t logicalType = 0; // the field of the LogicalType union set; 0 for none
    std::vector<ParquetCell> cells; // every row, in order
};

struct ParquetReadBack {
    std::int32_t version = 0;
    std::int64_t rows = 0;
    std::string createdBy;
    std::vector<ParquetReadColumn> columns;
    std::vector<std::int64_t> rowGroupRows;
    std::vector<std::vector<ParquetChunk>> chunks; // [row group][column]
    std::vector<std::pair<std::string, std::string>> metadata;
    bool typeDefinedOrder = false; // every column declares TYPE_ORDER
};

// Reads `file` whole. Returns an empty string when it is a sound Parquet
// file, else the first fault found, with its byte offset.
std::string readParquet(std::string_view file, ParquetReadBack& out);

// The RLE / bit-packing hybrid decoder: `count` values of `bitWidth` bits
// from `in`; `used` gets the bytes read. False when the runs are cut short,
// a value needs more bits or a run goes past `count` by more than the
// padding of its last group.
bool decodeRleHybrid(std::string_view in, int bitWidth, std::size_t count, std::vector<std::uint32_t>& out,
                     std::size_t& used);

} // namespace qavn::test
