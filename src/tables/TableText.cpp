// A counted table as CSV, and the notes on the cases it left out.

#include "tables/TableText.h"

#include "platform/Latin1.h"
#include "platform/Strings.h"

namespace qavn {

namespace {

// One field of a line; `first` fields start a line, the others follow a comma.
void appendField(std::string& line, std::string_view value, bool first = false)
{
    if (!first)
        line += ',';
    appendCsvField(line, value);
}

std::string casesText(std::uint64_t n)
{
    return std::to_string(n) + (n == 1 ? " case" : " cases");
}

} // namespace

std::vector<std::string> tableCsvHeader(const Tabulation& table)
{
    std::string rowName = table.rows.header;
    std::string columnName = table.columns.header;
    if (table.crosstab() && columnName == rowName)
        columnName += "_2";
    std::vector<std::string> header{rowName, rowName + "_label"};
    if (table.crosstab()) {
        header.push_back(columnName);
        header.push_back(columnName + "_label");
    }
    header.emplace_back("count");
    if (table.weighted())
        header.emplace_back("weighted");
    header.emplace_back("percent");
    if (table.crosstab()) {
        header.emplace_back("row_percent");
        header.emplace_back("column_percent");
    }
    return header;
}

std::string tableCsv(const Tabulation& table)
{
    std::string text;
    bool first = true;
    for (const std::string& name : tableCsvHeader(table)) {
        appendField(text, name, first);
        first = false;
    }
    text += "\r\n";
    const double total = table.total();
    const std::vector<double> rowTotals = table.rowTotals();
    const std::vector<double> columnTotals = table.columnTotals();
    for (const TableCell& cell : table.cells) {
        const TableCategory& row = table.rows.categories[cell.row];
        appendField(text, latin1ToUtf8(row.value), true);
        appendField(text, latin1ToUtf8(row.label));
        if (table.crosstab()) {
            const TableCategory& column = table.columns.categories[cell.column];
            appendField(text, latin1ToUtf8(column.value));
            appendField(text, latin1ToUtf8(column.label));
        }
        appendField(text, std::to_string(cell.count));
        if (table.weighted())
            appendField(text, tableNumber(cell.weighted));
        const double amount = table.amount(cell);
        appendField(text, tablePercent(amount, total));
        if (table.crosstab()) {
            appendField(text, tablePercent(amount, rowTotals[cell.row]));
            appendField(text, tablePercent(amount, columnTotals[cell.column]));
        }
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> tableNotes(const Tabulation& table)
{
    std::vector<std::string> notes;
    if (table.missingCases > 0) {
        std::string note = casesText(table.missingCases) + " with a missing value of " + table.rows.name;
        if (table.crosstab())
            note += " or " + table.columns.name;
        if (table.weighted())
            note += " (weighted " + tableNumber(table.missingWeighted) + ")";
        notes.push_back(note + " left out");
    }
    if (table.badWeightCases > 0)
        notes.push_back(casesText(table.badWeightCases) + " left out: the weight " + table.weight.name +
                        " is blank, missing or negative");
    if (table.cancelled)
        notes.push_back("Cancelled: the counts cover the first " + casesText(table.cases) + " only");
    return notes;
}

} // namespace qavn
