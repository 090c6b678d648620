// The Parquet file writer: a table of flat typed columns written row by row
// into a TextOutput, in row groups of bounded size, with dictionary or plain
// pages, zstd compression and column statistics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class TextOutput;

// What a column holds, and how the file declares it.
enum class ParquetType {
    Int32,   // INT32
    Int64,   // INT64
    Double,  // DOUBLE
    Decimal, // DECIMAL(precision, scale): INT32 up to 9 digits, INT64 up to 18
    String,  // BYTE_ARRAY annotated STRING (UTF-8)
    Date,    // INT32 annotated DATE: days since 1970-01-01
};

struct ParquetColumn {
    std::string name;      // UTF-8; unique within the file, letter case aside
    ParquetType type = ParquetType::String;
    bool optional = true;  // whether it may hold nulls (definition levels)
    int precision = 0;     // Decimal: digits in all, 1..18
    int scale = 0;         // Decimal: digits after the point, 0..precision
};

enum class ParquetCompression { None, Zstd };

// Sizes are counted on the values as the plain encoding writes them, before
// dictionary encoding and compression; memory in use stays below about one
// row group of them. Pages and dictionaries are held below 256 MiB and
// 2^28 values whatever is asked, as their headers count in 32 bits.
struct ParquetOptions {
    std::uint64_t rowGroupRows = 1'000'000;
    std::size_t rowGroupBytes = std::size_t(128) << 20;
    std::size_t pageRows = 20'000;
    std::size_t pageBytes = std::size_t(1) << 20;
    // A column chunk starts with a dictionary of its distinct values and
    // falls back to plain pages for the rest of the chunk once the
    // dictionary would pass this size; one whose first page would not be
    // smaller that way is written plain from the start.
    std::size_t dictionaryBytes = std::size_t(1) << 20;
    // Text statistics longer than this are cut (min) or replaced by a short
    // bound above the maximum (max), and marked inexact.
    std::size_t statisticsBytes = 256;
    ParquetCompression compression = ParquetCompression::Zstd;
    int zstdLevel = 1;
};

// Why a Parquet file could not be written. Only a front end turns it into a
// message, adding the file's name.
struct ParquetWriteError {
    enum class Kind {
        InvalidSchema, // the columns cannot make a file (duplicate names, ...)
        InvalidValue,  // a value does not fit its column; the row is named
        CannotWrite,   // the output failed; `reason` is the system's text
    };
    Kind kind = Kind::CannotWrite;
    std::string column;    // the column concerned; empty when none applies
    std::uint64_t row = 0; // 1-based row of the value; 0 when none applies
    std::string reason;
};

// "column AGE, row 12: text is not UTF-8 (byte 3)", or just the reason when
// neither applies.
std::string describe(const ParquetWriteError& error);

// Writes one Parquet file into `output`:
//
//   ParquetWriter writer(output, columns);
//   for each row: one add...() per column, in column order, then endRow();
//   writer.addMetadata("key", "value");   // any time before finish()
//   writer.finish();
//
// Each add call must match its column's type: addInt32 for Int32, addInt64
// for Int64, addDouble for Double, addDecimal (the unscaled value: 12.34 as
// 1234 with scale 2) for Decimal, addString for String, addDate for Date;
// addNull for any optional column. The first problem (a wrong call, a value
// outside its column, text that is not UTF-8, a failed write of the output)
// is kept in error(); every call after it does nothing, endRow() and
// finish() return false, and the caller reports it once.
//
// The file goes to `output` a row group at a time: "PAR1", then per row
// group one column chunk after another (a dictionary page first when the
// chunk has one, then its data pages), then at finish() the footer with the
// schema, the row groups' column metadata with statistics (min and max in
// the column's sort order, null count) and the key-value metadata. finish()
// flushes the output; closing or discarding it stays with the caller, so a
// cancelled or failed run can drop the file whole. A writer destroyed
// without finish() writes nothing more.
class ParquetWriter {
public:
    // `output` must outlive the writer. The schema is checked here; an
    // invalid one leaves the writer failed.
    ParquetWriter(TextOutput& output, std::vector<ParquetColumn> columns, ParquetOptions options = {});
    ~ParquetWriter();
    ParquetWriter(const ParquetWriter&) = delete;
    ParquetWriter& operator=(const ParquetWriter&) = delete;

    // A key-value pair of the footer (UTF-8 both), in the order added.
    void addMetadata(std::string_view key, std::string_view value);

    void addNull();
    void addInt32(std::int32_t value);
    void addInt64(std::int64_t value);
    void addDouble(double value);
    void addDecimal(std::int64_t unscaled);
    void addString(std::string_view utf8);
    void addDate(std::int32_t daysSinceEpoch);

    // Ends a row that has a value for every column; a full row group is
    // written out. Returns false once the writer failed.
    bool endRow();

    // Writes the rows still held and the footer, and flushes the output.
    // Returns false when anything failed; the writer takes no more calls.
    bool finish();

    bool failed() const;
    const ParquetWriteError& error() const;
    // Rows ended so far.
    std::uint64_t rows() const;
    // Row groups written so far.
    std::size_t rowGroups() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qavn
