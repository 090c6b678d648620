// The Parquet output, as an instance of the table driver: a folder of one
// Parquet file per table with typed columns, the tagged variables and their
// value labels as two more, and a DuckDB script of views over them.

#include "formats/TableFormats.h"

#include "catalogue/VariableList.h"
#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "formats/ParquetWriter.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectSpec.h"
#include "writers/DisplayFormats.h"
#include "writers/PortablePrograms.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace qavn {

namespace {

// The shape of a trimmed, non-empty field of a numeric column.
enum class Shape { Integer, Real, NotNumber };

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// An optional sign and 1..18 digits (what an INT64 surely holds) is Integer;
// more digits, or a point or an exponent, a Real when the text reads whole
// as a finite number; anything else (letters, "inf", a lone sign) NotNumber.
Shape shapeOf(std::string_view v)
{
    std::size_t i = v[0] == '+' || v[0] == '-' ? 1 : 0;
    const std::size_t digitsFrom = i;
    while (i < v.size() && isDigit(v[i]))
        ++i;
    if (i == v.size() && i > digitsFrom)
        return i - digitsFrom <= 18 ? Shape::Integer : Shape::Real;
    for (const char c : v.substr(digitsFrom))
        if (!isDigit(c) && c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-')
            return Shape::NotNumber;
    double value = 0;
    const std::string_view body = v[0] == '+' ? v.substr(1) : v;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
    return ec == std::errc() && end == body.data() + body.size() && std::isfinite(value) ? Shape::Real
                                                                                         : Shape::NotNumber;
}

bool parseInteger(std::string_view v, std::int64_t& value)
{
    if (!v.empty() && v[0] == '+')
        v.remove_prefix(1);
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    return ec == std::errc() && end == v.data() + v.size();
}

// A number with `decimals` implied decimals applied unless the text has a
// point or an exponent of its own, correctly rounded as strtod would.
bool parseDouble(std::string_view v, int decimals, double& value)
{
    if (!v.empty() && v[0] == '+')
        v.remove_prefix(1);
    char buffer[64];
    if (decimals > 0 && v.size() + 4 < sizeof buffer && v.find_first_of(".eE") == std::string_view::npos) {
        std::copy(v.begin(), v.end(), buffer);
        std::size_t n = v.size();
        buffer[n++] = 'e';
        buffer[n++] = '-';
        buffer[n++] = static_cast<char>('0' + decimals);
        v = std::string_view(buffer, n);
    }
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
    return ec == std::errc() && end == v.data() + v.size() && std::isfinite(value);
}

// How a column of days the source counts in its own unit from its own
// origin becomes days from 1970-01-01; perDay 0 for a column that is no date.
struct DateCount {
    double perDay = 0;      // the source's units in a day
    std::int64_t origin = 0; // the source's day 0, in days from 1970-01-01

    // The day of a value, or false when it is not a whole day within reach.
    bool day(double value, std::int32_t& out) const
    {
        const double days = value / perDay;
        if (days != std::floor(days) || days * perDay != value)
            return false;
        const double day = days + static_cast<double>(origin);
        if (day < -2147483648.0 || day > 2147483647.0)
            return false;
        out = static_cast<std::int32_t>(day);
        return true;
    }
};

// The count of a variable whose source shows it as a date (the project's
// metadata), or none.
DateCount dateCountOf(const TableColumn& column)
{
    DateCount count;
    if (!column.metadata || column.metadata->format.kind != DisplayKind::Date || column.isText())
        return count;
    const DisplayFormat& format = column.metadata->format;
    const double perDay = format.unit == TimeUnit::Days           ? 1
                          : format.unit == TimeUnit::Seconds      ? 86400
                          : format.unit == TimeUnit::Milliseconds ? 86400000
                                                                  : 0;
    if (perDay > 0 && daysOf(format.origin, count.origin))
        count.perDay = perDay;
    return count;
}

// What a column of a table holds in its file, decided from the codebook
// (type, width, implied decimals) and a first pass over its values.
enum class Kind { Int32, Int64, Double, Date, Text };

ParquetType parquetType(Kind kind)
{
    switch (kind) {
    case Kind::Int32:
        return ParquetType::Int32;
    case Kind::Int64:
        return ParquetType::Int64;
    case Kind::Double:
        return ParquetType::Double;
    case Kind::Date:
        return ParquetType::Date;
    case Kind::Text:
        break;
    }
    return ParquetType::String;
}

// The type DuckDB shows for the column (variables.parquet).
std::string_view typeName(Kind kind)
{
    switch (kind) {
    case Kind::Int32:
        return "INTEGER";
    case Kind::Int64:
        return "BIGINT";
    case Kind::Double:
        return "DOUBLE";
    case Kind::Date:
        return "DATE";
    case Kind::Text:
        break;
    }
    return "VARCHAR";
}

// What the first pass found in a column.
struct ColumnScan {
    bool settled = false;     // nothing more can change its kind
    bool real = false;        // a value with a point or an exponent, or too many digits
    bool leadingZero = false; // the identifier: a whole number written with a leading zero ("007")
    std::string notNumber;    // the first value that is no number (UTF-8); empty when none
    bool notDate = false;     // a date column: a value that is no whole day, or a missing code kept
};

std::string sqlText(std::string_view utf8)
{
    std::string out(1, '\'');
    for (const char c : utf8) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + '\'';
}

std::string sqlName(std::string_view utf8)
{
    std::string out(1, '"');
    for (const char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

// Names of the output's own files, which no table's file may take.
constexpr std::array<std::string_view, 2> ownTables{"variables", "value_labels"};
constexpr std::string_view sqlFileName = "duckdb.sql"; // named in its own comments too

// One Parquet file of the run: the place, the file and the writer on it.
class ParquetFile {
public:
    TableOutcome open(TableRun& run, const OutputPlace& place, std::vector<ParquetColumn> columns)
    {
        place_ = place;
        TableOutcome opened = run.openFile(place, out_);
        if (!opened.isDone())
            return opened;
        writer_.emplace(*out_, std::move(columns));
        return checked(run);
    }
    ParquetWriter& writer() { return *writer_; }
    // Done, or the failure of the writer or its file.
    TableOutcome checked(const TableRun& run) const
    {
        if (writer_ && writer_->failed()) {
            const ParquetWriteError& error = writer_->error();
            if (error.kind == ParquetWriteError::Kind::CannotWrite)
                return cannotWrite(place_.name, error.reason);
            return refused(place_.name + ": " + describe(error));
        }
        return out_ ? run.written(*out_) : TableOutcome::done();
    }
    TableOutcome finish(const TableRun& run)
    {
        writer_->finish();
        TableOutcome outcome = checked(run);
        writer_.reset();
        out_ = nullptr;
        return outcome;
    }
    void drop() noexcept
    {
        writer_.reset();
        out_ = nullptr;
    }

private:
    OutputPlace place_;
    FileTextOutput* out_ = nullptr;
    std::optional<ParquetWriter> writer_;
};

class ParquetTables final : public TableFormat {
public:
    std::span<const std::string_view> reservedNames() const override { return ownTables; }

    TableOutcome begin(TableRun& run) override
    {
        reserved_ = run.reserved();
        return TableOutcome::done();
    }

    bool beginScan(const OutputTable& table) override
    {
        planTable(table);
        scans_.assign(table.columns.size(), ColumnScan{});
        unsure_.clear();
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            if (table.columns[i].isText())
                scans_[i].settled = true;
            else
                unsure_.push_back(i);
        }
        return !unsure_.empty();
    }

    void scanCase(std::span<const std::string_view> fields) override
    {
        for (std::size_t k = 0; k < unsure_.size();) {
            const std::size_t i = unsure_[k];
            const std::string_view value = trimmed(fields[i]);
            ColumnScan& scan = scans_[i];
            if (!value.empty()) {
                const Shape shape = shapeOf(value);
                if (shape == Shape::NotNumber) {
                    scan.notNumber = latin1ToUtf8(value);
                    scan.settled = true;
                } else if (shape == Shape::Real) {
                    scan.real = true;
                } else if (value.size() > 1 && value[0] == '0') {
                    scan.leadingZero = true;
                }
                if (dates_[i].perDay > 0 && !scan.notDate)
                    scan.notDate = !isDay(table_->columns[i], dates_[i], value);
            }
            if (scan.settled) {
                unsure_.erase(unsure_.begin() + static_cast<std::ptrdiff_t>(k));
                continue;
            }
            ++k;
        }
    }

    TableOutcome beginTable(TableRun& run, const OutputTable& table) override
    {
        if (table_ != &table)
            planTable(table);
        if (scans_.size() != table.columns.size())
            scans_.assign(table.columns.size(), ColumnScan{});
        kinds_.clear();
        std::vector<ParquetColumn> columns;
        std::vector<std::size_t> asText; // numeric columns that hold a value that is no number
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            const TableColumn& column = table.columns[i];
            const Kind kind = kindOf(column, scans_[i], dates_[i]);
            if (kind == Kind::Text && !column.isText() && !column.isIdentifier)
                asText.push_back(i);
            kinds_.push_back(kind);
            columns.push_back({column.name, parquetType(kind), true, 0, 0});
        }
        if (!asText.empty()) {
            // One notice per file, naming the first few columns.
            std::string names;
            for (std::size_t k = 0; k < asText.size() && k < 5; ++k)
                names += (k > 0 ? ", " : "") + table.columns[asText[k]].name + " (\"" +
                         scans_[asText[k]].notNumber + "\")";
            if (asText.size() > 5)
                names += " and " + std::to_string(asText.size() - 5) + " more";
            run.notice("The Parquet file " + run.inFolder(table.name + ".parquet").name + ": " +
                       std::to_string(asText.size()) + " numeric column" + (asText.size() > 1 ? "s hold" : " holds") +
                       " a value that is no number, so " +
                       (asText.size() > 1 ? "they hold their" : "it holds its") + " values as text: " + names + ".");
        }
        scans_.clear();

        TableOutcome opened = file_.open(run, run.inFolder(table.name + ".parquet"), std::move(columns));
        if (!opened.isDone())
            return opened;
        addFileMetadata(run, table);
        return file_.checked(run);
    }

    TableOutcome writeCase(TableRun& run, std::span<const std::string_view> fields) override
    {
        ParquetWriter& writer = file_.writer();
        const bool empty = reserved_ == ReservedCodes::Empty;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const TableColumn& column = table_->columns[i];
            const std::string_view value = trimmed(fields[i]);
            const bool reserved = !column.reservedCodes.empty() && isReserved(column, value);
            if (value.empty() || (empty && reserved)) {
                writer.addNull();
                continue;
            }
            const Kind kind = kinds_[i];
            if (kind == Kind::Text) {
                text_.clear();
                appendLatin1AsUtf8(value, text_);
                if (empty && !column.declared.texts.empty() && column.declared.coversText(text_))
                    writer.addNull();
                else
                    writer.addString(text_);
                continue;
            }
            if (kind == Kind::Int32 || kind == Kind::Int64) {
                std::int64_t integer = 0;
                if (!parseInteger(value, integer))
                    return changed(column, value);
                if (empty && column.declared.hasNumbers() && column.declared.covers(static_cast<double>(integer)))
                    writer.addNull();
                else if (kind == Kind::Int32)
                    writer.addInt32(static_cast<std::int32_t>(integer));
                else
                    writer.addInt64(integer);
                continue;
            }
            // A reserved code is written as the code, as the other table
            // outputs write it; other values with the implied decimals.
            double number = 0;
            if (!parseDouble(value, reserved ? 0 : column.decimals(), number))
                return changed(column, value);
            const bool declared = column.declared.hasNumbers() && column.declared.covers(number);
            std::int32_t day = 0;
            if (empty && declared)
                writer.addNull();
            else if (kind == Kind::Double)
                writer.addDouble(number);
            else if (reserved || declared)
                writer.addNull(); // a date column holds them only under --reserved empty
            else if (dates_[i].day(number, day))
                writer.addDate(day);
            else
                return changed(column, value);
        }
        if (!writer.endRow())
            return file_.checked(run);
        return TableOutcome::done();
    }

    TableOutcome endTable(TableRun& run) override
    {
        TableOutcome finished = file_.finish(run);
        if (!finished.isDone())
            return finished;
        Written written{table_->name, {}};
        for (std::size_t i = 0; i < table_->columns.size(); ++i)
            written.columns.push_back({table_->columns[i], kinds_[i], sourceOf(*table_, table_->columns[i])});
        written_.push_back(std::move(written));
        return TableOutcome::done();
    }

    TableOutcome finish(TableRun& run) override
    {
        TableOutcome step = writeVariables(run);
        if (step.isDone())
            step = writeValueLabels(run);
        return step;
    }

    void abort() noexcept override { file_.drop(); }

private:
    struct WrittenColumn {
        TableColumn column;
        Kind kind;
        const DataTable* source;
    };
    struct Written {
        std::string table;
        std::vector<WrittenColumn> columns;
    };

    static bool isReserved(const TableColumn& column, std::string_view value)
    {
        return std::find(column.reservedCodes.begin(), column.reservedCodes.end(), value) !=
               column.reservedCodes.end();
    }

    void planTable(const OutputTable& table)
    {
        table_ = &table;
        dates_.clear();
        for (const TableColumn& column : table.columns)
            dates_.push_back(dateCountOf(column));
    }

    // Whether a field of a date column is a whole day, or a missing code
    // that is to be null.
    bool isDay(const TableColumn& column, const DateCount& count, std::string_view value) const
    {
        const bool reserved = isReserved(column, value);
        double number = 0;
        if (!parseDouble(value, reserved ? 0 : column.decimals(), number))
            return false;
        if (reserved || (column.declared.hasNumbers() && column.declared.covers(number)))
            return reserved_ == ReservedCodes::Empty;
        std::int32_t day = 0;
        return count.day(number, day);
    }

    static Kind kindOf(const TableColumn& column, const ColumnScan& scan, const DateCount& date)
    {
        if (column.isText() || !scan.notNumber.empty())
            return Kind::Text;
        // A date of the source's, when every value is a whole day.
        if (date.perDay > 0 && !column.isIdentifier && !scan.notDate)
            return Kind::Date;
        if (column.isIdentifier) {
            // An identifier is a number only when every value is a whole
            // number written without leading zeros: "007" stays text.
            if (scan.real || scan.leadingZero)
                return Kind::Text;
            return column.width <= 9 ? Kind::Int32 : Kind::Int64;
        }
        if (scan.real || column.decimals() > 0)
            return Kind::Double;
        // The narrowest that holds every value the declared width can: nine
        // characters never reach 2^31.
        return column.width <= 9 ? Kind::Int32 : Kind::Int64;
    }

    // The data file a column of a table is cut from.
    static const DataTable* sourceOf(const OutputTable& table, const TableColumn& column)
    {
        if (!column.isIdentifier)
            for (const DataTable* source : table.sources)
                for (const TableColumn& own : source->columns)
                    if (own.variable == column.variable)
                        return source;
        return &table.source();
    }

    TableOutcome changed(const TableColumn& column, std::string_view value) const
    {
        return refused("The raw data of " + table_->source().rawName + " changed while the Parquet file of " +
                       table_->name + " was written: " + column.name + " now holds \"" +
                       latin1ToUtf8(value) + "\".");
    }

    std::string label(const TableRun& run, const TableColumn& column) const
    {
        if (column.isIdentifier)
            return "Case identifier";
        // The source's whole label where the project's metadata has it.
        if (column.metadata && !column.metadata->label.empty())
            return column.metadata->label;
        return latin1ToUtf8(trimmed(run.services().list.rowLabel(column.variable)));
    }

    void addFileMetadata(TableRun& run, const OutputTable& table)
    {
        ParquetWriter& writer = file_.writer();
        const ProjectSpec& project = run.services().project;
        const std::string_view title = trimmed(project.dataSetTitle);
        writer.addMetadata("qavn.title", latin1ToUtf8(title.empty() ? project.filePrefix : title));
        writer.addMetadata("qavn.table", latin1ToUtf8(table.name));
        std::string files;
        for (const DataTable* source : table.sources)
            files += (files.empty() ? "" : "\n") + latin1ToUtf8(source->rawName);
        writer.addMetadata("qavn.data_files", files);
        for (const TableColumn& column : table.columns)
            writer.addMetadata("qavn.label." + column.name, label(run, column));
    }

    TableOutcome writeVariables(TableRun& run);
    TableOutcome writeValueLabels(TableRun& run);

    const OutputTable* table_ = nullptr;
    ReservedCodes reserved_ = ReservedCodes::Keep;
    std::vector<ColumnScan> scans_;
    std::vector<std::size_t> unsure_;
    std::vector<Kind> kinds_;
    std::vector<DateCount> dates_;
    ParquetFile file_;
    std::string text_;
    std::vector<Written> written_;
};

// The description of a variable as one text, lines joined by line breaks,
// blanks at the ends of lines and blank lines at the end dropped.
std::string descriptionOf(CodebookStore& store, const VariableRecord& record)
{
    return latin1ToUtf8(descriptionJoined(store, record));
}

void addText(ParquetWriter& writer, std::string_view utf8)
{
    if (utf8.empty())
        writer.addNull();
    else
        writer.addString(utf8);
}

TableOutcome ParquetTables::writeVariables(TableRun& run)
{
    using T = ParquetType;
    ParquetFile file;
    TableOutcome step = file.open(run, run.inFolder("variables.parquet"),
                                  {{"table", T::String},
                                   {"name", T::String},
                                   {"short_name", T::String},
                                   {"long_name", T::String},
                                   {"label", T::String},
                                   {"data_file", T::String},
                                   {"line", T::Int32},
                                   {"location", T::String},
                                   {"type", T::String},
                                   {"codebook_type", T::String},
                                   {"decimals", T::Int32},
                                   {"section", T::String},
                                   {"description", T::String}});
    if (!step.isDone())
        return step;
    ParquetWriter& writer = file.writer();
    CodebookStore& store = run.services().store;
    for (const Written& table : written_) {
        for (const WrittenColumn& entry : table.columns) {
            const TableColumn& column = entry.column;
            if (column.isIdentifier)
                continue;
            std::string section;
            if (!store.sectionTitleOf(column.variable, section))
                return TableOutcome::stopped();
            const VariableRecord record = store.recordAt(column.variable);
            writer.addString(latin1ToUtf8(table.table));
            writer.addString(column.name);
            writer.addString(latin1ToUtf8(column.variableName));
            if (column.metadata && !column.metadata->longName.empty())
                writer.addString(column.metadata->longName);
            else
                writer.addNull();
            addText(writer, label(run, column));
            writer.addString(latin1ToUtf8(entry.source->rawName));
            writer.addInt32(static_cast<std::int32_t>(column.line));
            writer.addString(latin1ToUtf8(trimmed(record.locationText())));
            writer.addString(typeName(entry.kind));
            writer.addString(latin1ToUtf8(std::string_view(&column.typeCode, 1)));
            writer.addInt32(column.decimals());
            addText(writer, latin1ToUtf8(trimmed(section)));
            addText(writer, descriptionOf(store, record));
            if (!writer.endRow())
                return file.checked(run);
            if (!run.keepGoing())
                return TableOutcome::stopped();
        }
    }
    return file.finish(run);
}

// The head of the DuckDB script: what it is, and a view per file.
std::string viewsHead(const ProjectSpec& project, const std::vector<std::string>& tables)
{
    const std::string_view title = trimmed(project.dataSetTitle);
    std::string line = latin1ToUtf8(title.empty() ? project.filePrefix : title);
    // A title with a line break would end the comment.
    std::replace(line.begin(), line.end(), '\r', ' ');
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::string sql = "-- DuckDB views of the Parquet files in this folder: " + line +
                      ".\n"
                      "-- The files are named relative to this folder: run DuckDB in it, for example\n"
                      "--   cd FOLDER && duckdb -init duckdb.sql\n"
                      "-- or read this file there with .read duckdb.sql. One view per table; variables and\n"
                      "-- value_labels; and in the schema labelled each table with its codes shown as their labels.\n";
    for (const std::string& name : tables)
        sql += "CREATE OR REPLACE VIEW main." + sqlName(name) + " AS SELECT * FROM read_parquet(" +
               sqlText(name + ".parquet") + ");\n";
    sql += "CREATE OR REPLACE VIEW main.variables AS SELECT * FROM read_parquet('variables.parquet');\n"
           "CREATE OR REPLACE VIEW main.value_labels AS SELECT * REPLACE (CAST(is_missing AS BOOLEAN) AS is_missing)"
           " FROM read_parquet('value_labels.parquet');\n"
           "CREATE SCHEMA IF NOT EXISTS labelled;\n";
    return sql;
}

// value_labels.parquet, one row per category line, and the DuckDB script
// beside it, whose labelled views show each code that has a label as the
// label: a CASE of the codes written with the labels, so that a view of
// hundreds of coded columns costs no joins.
TableOutcome ParquetTables::writeValueLabels(TableRun& run)
{
    using T = ParquetType;
    ParquetFile file;
    TableOutcome step = file.open(run, run.inFolder("value_labels.parquet"),
                                  {{"table", T::String},
                                   {"variable", T::String},
                                   {"code", T::String},
                                   {"value", T::Double},
                                   {"label", T::String},
                                   {"frequency", T::Int64},
                                   {"is_missing", T::Int32}});
    if (!step.isDone())
        return step;
    FileTextOutput* sql = nullptr;
    step = run.openFile(run.inFolder(sqlFileName), sql);
    if (!step.isDone())
        return step;
    std::vector<std::string> names;
    for (const Written& table : written_)
        names.push_back(latin1ToUtf8(table.table));
    sql->write(viewsHead(run.services().project, names));

    ParquetWriter& writer = file.writer();
    CodebookStore& store = run.services().store;
    std::string expression;
    for (std::size_t t = 0; t < written_.size(); ++t) {
        const Written& table = written_[t];
        sql->write("CREATE OR REPLACE VIEW labelled." + sqlName(names[t]) + " AS SELECT");
        bool firstColumn = true;
        for (const WrittenColumn& entry : table.columns) {
            const TableColumn& column = entry.column;
            const std::string name = sqlName(column.name);
            const bool byCode = entry.kind == Kind::Text;
            expression = "CASE t." + name;
            bool labelled = false;
            const VariableRecord record =
                column.isIdentifier ? VariableRecord{} : store.recordAt(column.variable);
            bool ok = true;
            if (record.categoryLineCount > 0)
                store.readLines(
                record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields, [&](std::string_view line) {
                    const CategoryFields fields = splitCategoryLine(line);
                    const std::string code(trimmed(fields.code));
                    const bool reserved = isReserved(column, code);
                    const bool blankMissing = !column.isText() && isBlankMissingCode(code);
                    // The code as the data column holds its value: a reserved
                    // code as it is, others scaled by the implied decimals.
                    const std::string value = latin1ToUtf8(column.isText() ? categoryCodeValue(code)
                                                           : reserved      ? code
                                                                           : scaledCode(code, column.decimals()));
                    writer.addString(names[t]);
                    writer.addString(column.name);
                    writer.addString(value);
                    double number = 0;
                    const bool isNumber =
                        !column.isText() && !blankMissing && parseDouble(trimmed(value), 0, number);
                    if (isNumber)
                        writer.addDouble(number);
                    else
                        writer.addNull();
                    const std::string label = latin1ToUtf8(trimmed(fields.label));
                    addText(writer, label);
                    std::int64_t frequency = 0;
                    if (parseInteger(trimmed(fields.frequency), frequency))
                        writer.addInt64(frequency);
                    else
                        writer.addNull();
                    const bool declared = column.isText() ? column.declared.coversText(value)
                                                          : isNumber && column.declared.covers(number);
                    writer.addInt32(reserved || blankMissing || declared ? 1 : 0);
                    ok = writer.endRow();
                    if (!label.empty() && (byCode || isNumber)) {
                        expression += " WHEN " + (byCode ? sqlText(value) : std::string(trimmed(value))) +
                                      " THEN " + sqlText(label);
                        labelled = true;
                    }
                    return ok;
                });
            if (!ok)
                return file.checked(run);
            sql->write(std::string(firstColumn ? "\n  " : ",\n  ") +
                       (labelled ? expression + " ELSE CAST(t." + name + " AS VARCHAR) END AS " + name
                                 : "t." + name));
            firstColumn = false;
            if (!run.keepGoing())
                return TableOutcome::stopped();
        }
        sql->write("\nFROM main." + sqlName(names[t]) + " AS t;\n");
        step = run.written(*sql);
        if (!step.isDone())
            return step;
    }
    return file.finish(run);
}

} // namespace

std::unique_ptr<TableFormat> makeParquetTables()
{
    return std::make_unique<ParquetTables>();
}

} // namespace qavn
