#include "formats/TableData.h"

#include "codebook/Classification.h"
#include "codebook/CodebookStore.h"
#include "export/AccessExport.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "platform/Strings.h"
#include "platform/Ui.h"

#include <algorithm>

namespace qavn {

namespace {

bool isReservedCode(std::string_view code)
{
    return code.size() == 2 && code[0] == '-' && code[1] >= '1' && code[1] <= '9';
}

// Reserved codes of a variable: its category lines with a code -1..-9 and a
// label in braces, as the writers' "label reserved codes" choice knows them.
std::vector<std::string> reservedCodesOf(CodebookStore& store, const VariableRecord& record)
{
    std::vector<std::string> codes;
    if (record.categoryLineCount == 0)
        return codes;
    store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                    [&](std::string_view line) {
                        const CategoryFields fields = splitCategoryLine(line);
                        const std::string_view code = trimmed(fields.code);
                        const std::string_view label = trimmed(fields.label);
                        if (isReservedCode(code) && !label.empty() && label.front() == '{')
                            codes.emplace_back(code);
                        return true;
                    });
    return codes;
}

bool makeColumn(std::string_view location, std::uint32_t line, std::string_view dataPath, TableColumn& column,
                std::string& error)
{
    const ColumnRange range = parseColumnLocation(location);
    const std::string where = "The location \"" + std::string(location) + "\" of " + column.variableName +
                              " in " + std::string(dataPath);
    if (range.first < 1 || range.last < range.first) {
        error = where + " does not give its columns.";
        return false;
    }
    if (static_cast<std::size_t>(range.last - range.first) + 1 > AccessLimits::maxValue) {
        error = where + " is wider than 7,999 characters.";
        return false;
    }
    if (line < 1) {
        error = where + " lies on line 0.";
        return false;
    }
    column.offset = static_cast<std::size_t>(range.first - 1);
    column.width = static_cast<std::size_t>(range.last - range.first) + 1;
    column.line = line;
    return true;
}

// Appends "_2", "_3", ... to a name a column of the table already has
// (letter case aside: SQLite does not tell them apart).
void makeUnique(std::vector<TableColumn>& columns, TableColumn& column)
{
    auto taken = [&](const std::string& name) {
        return std::any_of(columns.begin(), columns.end(),
                           [&](const TableColumn& other) { return upperAscii(other.name) == upperAscii(name); });
    };
    column.name = column.variableName;
    for (int k = 2; taken(column.name); ++k)
        column.name = column.variableName + "_" + std::to_string(k);
}

// Inserts the decimal point `decimals` digits from the right of an integer
// text ("-15", 1 -> "-1.5"; "5", 2 -> "0.05").
std::string withDecimals(std::string_view value, int decimals)
{
    std::string sign;
    if (!value.empty() && (value.front() == '-' || value.front() == '+')) {
        if (value.front() == '-')
            sign = "-";
        value.remove_prefix(1);
    }
    std::string digits(value);
    const std::size_t d = static_cast<std::size_t>(decimals);
    if (digits.size() <= d)
        digits.insert(0, d + 1 - digits.size(), '0');
    digits.insert(digits.size() - d, 1, '.');
    return sign + digits;
}

bool isInteger(std::string_view value)
{
    if (!value.empty() && (value.front() == '-' || value.front() == '+'))
        value.remove_prefix(1);
    return !value.empty() && std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

bool buildDataTable(std::span<const std::uint32_t> tagged, std::uint32_t f, CodebookStore& store,
                    const DataFileEntry& file, const std::function<bool()>& cancelled, DataTable& table,
                    std::string& error)
{
    table = DataTable{};
    table.fileNumber = f;
    table.file = &file;
    std::vector<TableColumn> columns;
    const bool walked = forEachTaggedMember(
        tagged, f, file.firstRow, store, cancelled, [&](const VariableRecord& record, std::uint32_t n) {
            TableColumn column;
            column.variableName = std::string(record.variableName());
            column.typeCode = record.typeCode;
            column.variable = n;
            if (!makeColumn(record.locationText(), record.recordNumber, file.dataPath, column, error))
                return false;
            column.reservedCodes = reservedCodesOf(store, record);
            columns.push_back(std::move(column));
            return true;
        });
    if (!walked)
        return false;
    if (columns.empty())
        return true;
    if (file.hasIdentifier()) {
        TableColumn id;
        id.variableName = "ID";
        id.isIdentifier = true;
        if (!makeColumn(file.idLocation, 1, file.dataPath, id, error))
            return false;
        id.name = id.variableName;
        table.columns.push_back(std::move(id));
    }
    for (TableColumn& column : columns) {
        makeUnique(table.columns, column);
        table.columns.push_back(std::move(column));
    }
    for (const TableColumn& column : table.columns)
        table.neededLines = std::max(table.neededLines, column.line);
    return true;
}

std::string cellText(std::string_view raw, const TableColumn& column, ReservedCodes reserved)
{
    const std::string_view value = trimmed(raw);
    if (column.isText() || column.isIdentifier)
        return latin1ToUtf8(value);
    const bool isReserved =
        std::find(column.reservedCodes.begin(), column.reservedCodes.end(), value) != column.reservedCodes.end();
    if (isReserved)
        return reserved == ReservedCodes::Empty ? std::string() : std::string(value);
    if (column.decimals() > 0 && isInteger(value))
        return withDecimals(value, column.decimals());
    return latin1ToUtf8(value);
}

std::string rawDataName(const Settings& settings, const DataFileEntry& file)
{
    const char drive = settings.cdromDrive != '\0' ? settings.cdromDrive : '?';
    return std::string(1, drive) + ":\\" + file.dataPath;
}

std::optional<std::string> openRawData(RawDataReader& reader, const Settings& settings, const DataFileEntry& file,
                                       Ui& ui)
{
    std::string rawName = rawDataName(settings, file);
    std::string error;
    if (!reader.open(toHostPath(rawName), error)) {
        ui.error("Cannot Open " + rawName);
        return std::nullopt;
    }
    return rawName;
}

bool forEachCase(RawDataReader& reader, const DataTable& table,
                 const std::function<bool(std::span<const std::string_view>)>& onCase, std::string& error,
                 std::string_view rawName)
{
    const DataFileEntry& file = *table.file;
    if (static_cast<std::int64_t>(table.neededLines) > file.linesPerCase) {
        error = "A tagged variable of " + file.dataPath + " lies on line " + std::to_string(table.neededLines) +
                " of a case of " + std::to_string(file.linesPerCase) + " lines.";
        return false;
    }
    auto failed = [&](RawDataReader::Status status) {
        if (status == RawDataReader::Status::TooLong)
            error = "Line " + std::to_string(reader.lineNumber() + 1) + " of " + std::string(rawName) +
                    " is longer than 14,999 characters.";
        else
            error = reader.errorText() + "\n" + std::string(rawName);
        return false;
    };
    std::vector<std::string_view> fields(table.columns.size());
    for (;;) {
        reader.beginCase();
        for (std::uint32_t l = 0; l < table.neededLines; ++l) {
            const auto status = reader.nextLine(true);
            if (status == RawDataReader::Status::End)
                return true;
            if (status != RawDataReader::Status::Ok)
                return failed(status);
        }
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const TableColumn& column = table.columns[i];
            std::string_view line = reader.caseLine(column.line - 1);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
                line.remove_suffix(1);
            fields[i] = column.offset < line.size() ? line.substr(column.offset, column.width) : std::string_view();
        }
        if (!onCase(fields))
            return false;
        for (std::int64_t l = table.neededLines; l < file.linesPerCase; ++l) {
            const auto status = reader.nextLine(false);
            if (status == RawDataReader::Status::End)
                return true;
            if (status != RawDataReader::Status::Ok)
                return failed(status);
        }
    }
}

} // namespace qavn
