// CSV files (RFC 4180), one per table, as an instance of the table driver.

#include "formats/TableFormats.h"

#include "platform/Strings.h"
#include "platform/TextOutput.h"

#include <array>
#include <cstring>

namespace qavn {

namespace {

// The bytes that make a field quoted.
constexpr std::array<bool, 256> quoteBytes = [] {
    std::array<bool, 256> bytes{};
    bytes[static_cast<unsigned char>(',')] = bytes[static_cast<unsigned char>('"')] = true;
    bytes[static_cast<unsigned char>('\r')] = bytes[static_cast<unsigned char>('\n')] = true;
    return bytes;
}();

// appendCsvField() at `out`, which has room for 2 * value.size() + 2 bytes;
// the end of what was written. The usual field is copied as it is checked.
char* putCsvField(char* out, std::string_view value)
{
    bool quote = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        out[i] = value[i];
        quote |= quoteBytes[static_cast<unsigned char>(value[i])];
    }
    if (!quote)
        return out + value.size();
    *out++ = '"';
    for (const char c : value) {
        if (c == '"')
            *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
}

// Whether a plain cell's bytes (CaseCells::plainCell) hold a comma or a
// double quote; the bytes past the cell hold neither.
bool quoted(std::uint64_t bytes)
{
    constexpr std::uint64_t ones = 0x0101010101010101u;
    auto anyZero = [](std::uint64_t v) { return (v - ones) & ~v & 0x8080808080808080u; };
    return (anyZero(bytes ^ (',' * ones)) | anyZero(bytes ^ ('"' * ones))) != 0;
}

// A plain cell's bytes (CaseCells::plainCell) at `out`, quoted when
// `marked` (they hold a comma or a double quote); the end of what was
// written. The usual cell is copied 8 bytes at once: the line has room for
// the bytes past it, which the next cell overwrites.
char* putPlainCell(char* out, std::uint64_t bytes, std::size_t size, bool marked)
{
    if (marked) {
        char text[sizeof bytes];
        std::memcpy(text, &bytes, sizeof bytes);
        return putCsvField(out, std::string_view(text, size));
    }
    std::memcpy(out, &bytes, sizeof bytes);
    return out + size;
}

class CsvTables final : public TableFormat {
public:
    TableOutcome begin(TableRun&) override { return TableOutcome::done(); }

    TableOutcome beginTable(TableRun& run, const OutputTable& table) override
    {
        columns_ = table.columns;
        reserved_ = run.reserved();
        TableOutcome opened = run.openFile(run.inFolder(table.name + ".csv"), out_);
        if (!opened.isDone())
            return opened;
        line_.clear();
        for (const TableColumn& column : columns_) {
            if (!line_.empty())
                line_ += ',';
            appendCsvField(line_, column.name);
        }
        line_ += '\n';
        out_->write(line_);
        // A case's line is made in place in a buffer sized once for the
        // longest line the columns can give.
        std::size_t longest = 2 + sizeof(std::uint64_t);
        for (const TableColumn& column : columns_)
            longest += 2 * cellSizeBound(column) + 3;
        line_.assign(longest, '\0');
        cells_ = CaseCells(columns_, reserved_);
        padded_ = !table.merged();
        return run.written(*out_);
    }

    // A cell holds no line feed (the raw data's lines end before it), so the
    // line is written as it is, with its CR LF.
    TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) override
    {
        char* out = line_.data();
        // Held here: the writes through `out` could otherwise change them.
        const bool padded = padded_;
        const CaseCells& cells = cells_;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                *out++ = ',';
            std::uint64_t bytes = 0;
            std::size_t size = 0;
            if (padded && cells.plainCell(i, fields[i], bytes, size))
                out = putPlainCell(out, bytes, size, quoted(bytes));
            else
                out = putCsvField(out, cells_.cell(i, fields[i]));
        }
        return endLine(run, out);
    }

    // The line's bytes are looked at 16 at once, then each plain short cell
    // is cut from the line by its bits.
    TableOutcome writeLineCase(TableRun& run, std::span<const std::string_view> fields, std::string_view line) override
    {
        bits_.scan(line.data(), line.size());
        char* out = line_.data();
        const CaseCells::LineCells cells = cells_.lineCells();
        const LineBits::View bits = bits_.view();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                *out++ = ',';
            std::uint64_t bytes = 0;
            std::size_t size = 0;
            bool marked = false;
            if (cells.plainCell(i, line.data(), bits, bytes, size, marked))
                out = putPlainCell(out, bytes, size, marked);
            else
                out = putCsvField(out, cells_.cell(i, fields[i]));
        }
        return endLine(run, out);
    }

    TableOutcome endTable(TableRun& run) override { return run.written(*out_); }
    TableOutcome finish(TableRun&) override { return TableOutcome::done(); }

private:
    // Ends the case's line at `out` with its CR LF and writes it.
    TableOutcome endLine(TableRun& run, char* out)
    {
        *out++ = '\r';
        *out++ = '\n';
        out_->writeBytes(std::string_view(line_.data(), static_cast<std::size_t>(out - line_.data())));
        return run.written(*out_);
    }

    std::vector<TableColumn> columns_;
    ReservedCodes reserved_ = ReservedCodes::Keep;
    FileTextOutput* out_ = nullptr;
    std::string line_;
    CaseCells cells_;
    bool padded_ = false; // the fields lie in the raw data reader's lines
    LineBits bits_;
};

} // namespace

std::unique_ptr<TableFormat> makeCsvTables()
{
    return std::make_unique<CsvTables>();
}

} // namespace qavn
