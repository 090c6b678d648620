// CSV files (RFC 4180), one per table, as an instance of the table driver.

#include "formats/TableFormats.h"

#include "platform/Latin1.h"
#include "platform/TextOutput.h"

namespace qavn {

namespace {

void appendCsvField(std::string& line, std::string_view value)
{
    if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += value;
        return;
    }
    line += '"';
    for (const char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
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
        return run.written(*out_);
    }

    TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) override
    {
        line_.clear();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0)
                line_ += ',';
            appendCsvField(line_, cellText(fields[i], columns_[i], reserved_));
        }
        line_ += '\n';
        out_->write(line_);
        return run.written(*out_);
    }

    TableOutcome endTable(TableRun& run) override { return run.written(*out_); }
    TableOutcome finish(TableRun&) override { return TableOutcome::done(); }

private:
    std::vector<TableColumn> columns_;
    ReservedCodes reserved_ = ReservedCodes::Keep;
    FileTextOutput* out_ = nullptr;
    std::string line_;
};

} // namespace

std::unique_ptr<TableFormat> makeCsvTables()
{
    return std::make_unique<CsvTables>();
}

} // namespace qavn
