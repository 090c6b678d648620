// parquet_sample OUT_DIR: writes the Parquet files the real readers are
// checked with (every column type, nulls, several row groups and pages,
// dictionary, plain and fallen-back columns, text with quotes, commas and
// letters above 127, an uncompressed file and an empty one) and beside them
// expected.json: each file's columns with the type DuckDB should see, its
// rows as DuckDB's JSON form gives them (INT64 and DECIMAL as strings, DATE
// as YYYY-MM-DD, NaN as "NaN"), its key-value metadata, and per row group
// the rows, compression and each column's min, max and null count, worked
// out here from the values rather than taken from the writer.

#include "formats/ParquetWriter.h"
#include "platform/TextOutput.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

using namespace qavn;
using json = nlohmann::json;

namespace {

// A cell: null, an integer (also a DECIMAL's unscaled value or a DATE's
// days), a double or text.
using Cell = std::variant<std::monostate, std::int64_t, double, std::string>;

struct Table {
    std::string file;
    std::vector<ParquetColumn> columns;
    std::vector<std::vector<Cell>> rows;
    std::vector<std::pair<std::string, std::string>> metadata;
    ParquetOptions options;
};

std::string duckdbType(const ParquetColumn& c)
{
    switch (c.type) {
    case ParquetType::Int32:
        return "INTEGER";
    case ParquetType::Int64:
        return "BIGINT";
    case ParquetType::Double:
        return "DOUBLE";
    case ParquetType::Decimal:
        return "DECIMAL(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    case ParquetType::String:
        return "VARCHAR";
    case ParquetType::Date:
        return "DATE";
    }
    return "?";
}

std::string decimalText(std::int64_t unscaled, int scale)
{
    const bool negative = unscaled < 0;
    std::string digits = std::to_string(negative ? -unscaled : unscaled);
    if (scale > 0) {
        if (digits.size() <= static_cast<std::size_t>(scale))
            digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
    }
    return negative ? "-" + digits : digits;
}

std::string dateText(std::int64_t days)
{
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

json toJson(const Cell& cell, const ParquetColumn& c)
{
    if (std::holds_alternative<std::monostate>(cell))
        return nullptr;
    if (const auto* text = std::get_if<std::string>(&cell))
        return *text;
    if (const auto* d = std::get_if<double>(&cell))
        return std::isnan(*d) ? json("NaN") : json(*d);
    const std::int64_t v = std::get<std::int64_t>(cell);
    switch (c.type) {
    case ParquetType::Int64:
        return std::to_string(v);
    case ParquetType::Decimal:
        return decimalText(v, c.scale);
    case ParquetType::Date:
        return dateText(v);
    default:
        return v;
    }
}

// Min and max in each type's order (NaN left out; text bytewise unsigned).
bool before(const Cell& a, const Cell& b)
{
    if (const auto* x = std::get_if<std::string>(&a))
        return *x < std::get<std::string>(b);
    if (const auto* x = std::get_if<double>(&a))
        return *x < std::get<double>(b);
    return std::get<std::int64_t>(a) < std::get<std::int64_t>(b);
}

json statistics(const Table& t, std::size_t column, std::size_t from, std::size_t to)
{
    std::optional<Cell> min;
    std::optional<Cell> max;
    std::int64_t nulls = 0;
    for (std::size_t r = from; r < to; ++r) {
        const Cell& cell = t.rows[r][column];
        if (std::holds_alternative<std::monostate>(cell)) {
            ++nulls;
            continue;
        }
        if (const auto* d = std::get_if<double>(&cell); d && std::isnan(*d))
            continue;
        if (!min || before(cell, *min))
            min = cell;
        if (!max || before(*max, cell))
            max = cell;
    }
    const ParquetColumn& c = t.columns[column];
    return {{"min", min ? toJson(*min, c) : json(nullptr)},
            {"max", max ? toJson(*max, c) : json(nullptr)},
            {"nulls", nulls}};
}

bool write(const Table& t, const std::filesystem::path& dir, json& expected)
{
    FileTextOutput output;
    if (!output.openHost(dir / t.file)) {
        std::fprintf(stderr, "cannot open %s: %s\n", t.file.c_str(), output.openError().c_str());
        return false;
    }
    ParquetWriter writer(output, t.columns, t.options);
    for (const auto& [key, value] : t.metadata)
        writer.addMetadata(key, value);
    for (const auto& row : t.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) {
            const Cell& cell = row[c];
            const ParquetType type = t.columns[c].type;
            if (std::holds_alternative<std::monostate>(cell))
                writer.addNull();
            else if (const auto* text = std::get_if<std::string>(&cell))
                writer.addString(*text);
            else if (const auto* d = std::get_if<double>(&cell))
                writer.addDouble(*d);
            else if (type == ParquetType::Int32)
                writer.addInt32(static_cast<std::int32_t>(std::get<std::int64_t>(cell)));
            else if (type == ParquetType::Date)
                writer.addDate(static_cast<std::int32_t>(std::get<std::int64_t>(cell)));
            else if (type == ParquetType::Decimal)
                writer.addDecimal(std::get<std::int64_t>(cell));
            else
                writer.addInt64(std::get<std::int64_t>(cell));
        }
        writer.endRow();
    }
    if (!writer.finish() || !output.close()) {
        std::fprintf(stderr, "%s: %s\n", t.file.c_str(),
                     writer.failed() ? describe(writer.error()).c_str() : output.errorText().c_str());
        return false;
    }

    json file = {{"name", t.file},
                 {"compression", t.options.compression == ParquetCompression::Zstd ? "ZSTD" : "UNCOMPRESSED"}};
    for (const ParquetColumn& c : t.columns)
        file["columns"].push_back({{"name", c.name}, {"type", duckdbType(c)}});
    file["rows"] = json::array();
    for (const auto& row : t.rows) {
        json values = json::array();
        for (std::size_t c = 0; c < row.size(); ++c)
            values.push_back(toJson(row[c], t.columns[c]));
        file["rows"].push_back(values);
    }
    file["metadata"] = json::object();
    for (const auto& [key, value] : t.metadata)
        file["metadata"][key] = value;
    file["row_groups"] = json::array();
    for (std::size_t from = 0; from < t.rows.size(); from += t.options.rowGroupRows) {
        const std::size_t to = std::min<std::size_t>(t.rows.size(), from + t.options.rowGroupRows);
        json group = {{"rows", to - from}};
        for (std::size_t c = 0; c < t.columns.size(); ++c)
            group["stats"].push_back(statistics(t, c, from, to));
        file["row_groups"].push_back(group);
    }
    expected["files"].push_back(file);
    return true;
}

Table typesTable()
{
    Table t;
    t.file = "types.parquet";
    t.columns = {
        {"id", ParquetType::Int32, false},
        {"count", ParquetType::Int64},
        {"share", ParquetType::Double},
        {"amount", ParquetType::Decimal, true, 9, 2},
        {"big", ParquetType::Decimal, true, 18, 4},
        {"label", ParquetType::String}, // six values: a dictionary
        {"note", ParquetType::String},  // a value of its own each row: plain
        {"grows", ParquetType::String}, // a dictionary first, then plain
        {"born", ParquetType::Date},
        {"flag", ParquetType::Int32},
        {"nothing", ParquetType::String}, // always null
    };
    const char* labels[] = {"Yes", "No", "\"Quoted\", with a comma", "\xC3\xA9t\xC3\xA9 \xC3\x80 \xC3\xBF",
                            "\xE6\x97\xA5\xE6\x9C\xAC", ""};
    for (std::int64_t r = 0; r < 2500; ++r) {
        std::vector<Cell> row;
        row.emplace_back(r + 1);
        row.emplace_back(r % 7 == 3 ? Cell{} : Cell{r * 1'000'003 - 7'000'000'000LL});
        row.emplace_back(r % 13 == 5 ? Cell{} : r == 100 ? Cell{std::nan("")} : Cell{static_cast<double>(r) / 8 - 100.25});
        row.emplace_back(r % 11 == 0 ? Cell{} : Cell{(r * 37) % 200'001 - 100'000});
        row.emplace_back(Cell{(r - 1250) * 123'456'789'012'345LL});
        row.emplace_back(r % 5 == 2 ? Cell{} : Cell{std::string(labels[r % 6])});
        row.emplace_back(Cell{"Note " + std::to_string(r * 7919 % 10007) + ", \"r\" \xC3\xA9"});
        row.emplace_back(Cell{r % 1000 < 500 ? "few " + std::to_string(r % 3) : "many " + std::to_string(r)});
        row.emplace_back(r % 9 == 4 ? Cell{} : Cell{-25567 + r * 23}); // from 1900-01-01 on
        row.emplace_back(r % 4 ? Cell{} : Cell{r % 8 ? std::int64_t(1) : std::int64_t(0)});
        row.emplace_back(Cell{});
        t.rows.push_back(std::move(row));
    }
    t.metadata = {{"qavn.labels", "{\"label\": \"Answer \xC3\xA0 la question\", \"id\": \"Case\"}"},
                  {"qavn.source", "demo, \"quoted\""}};
    t.options.rowGroupRows = 1000;
    t.options.pageRows = 300;
    t.options.dictionaryBytes = 2048;
    return t;
}

Table uncompressedTable()
{
    Table t;
    t.file = "uncompressed.parquet";
    t.columns = {{"n", ParquetType::Int64, false}, {"t", ParquetType::String}};
    for (std::int64_t r = 0; r < 10; ++r)
        t.rows.push_back({Cell{r * r}, r % 2 ? Cell{} : Cell{"row " + std::to_string(r)}});
    t.options.compression = ParquetCompression::None;
    return t;
}

Table emptyTable()
{
    Table t;
    t.file = "empty.parquet";
    t.columns = {{"n", ParquetType::Int32}, {"d", ParquetType::Date}};
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    json expected;
    for (const Table& t : {typesTable(), uncompressedTable(), emptyTable()})
        if (!write(t, dir, expected))
            return 1;
    std::ofstream(dir / "expected.json") << expected.dump(1) << "\n";
    return 0;
}
