// The SQLite database of the tagged variables, as an instance of the table
// driver.

#include "formats/TableFormats.h"

#include "catalogue/VariableList.h"
#include "codebook/CategoryCode.h"
#include "codebook/CodebookStore.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "writers/PortablePrograms.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_set>

namespace qavn {

namespace {

// A name (UTF-8) quoted for SQL.
std::string quotedName(std::string_view name)
{
    // SQL text ends at a NUL and an empty quoted name is refused: a control
    // byte becomes %XX (and % itself %25, so distinct names stay distinct),
    // an empty name a lone %.
    if (name.empty())
        return "\"%\"";
    std::string quoted(1, '"');
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            quoted += escaped;
            continue;
        }
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

bool isInteger(std::string_view text, std::int64_t& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool isReal(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno == 0;
}

// The database connection and the statement in use; both are released
// however the run ends.
class Database {
public:
    ~Database()
    {
        sqlite3_finalize(statement_);
        sqlite3_close(db_);
    }

    explicit Database(std::size_t failFromWrite) : failFrom_(failFromWrite) {}

    bool open(const std::filesystem::path& path)
    {
        // One thread uses the connection: no mutex around every call.
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
            return fail();
        // The file is a temporary one that never takes its name unless the
        // whole run completes: no journal.
        return exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA encoding='UTF-8'");
    }
    bool exec(const std::string& sql)
    {
        if (injectedFailure())
            return false;
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK || fail();
    }
    bool prepare(const std::string& sql)
    {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        return sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement_, nullptr) == SQLITE_OK || fail();
    }
    bool finalize()
    {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        return true;
    }
    void bindNull(int i) { sqlite3_bind_null(statement_, i); }
    void bindInt(int i, std::int64_t v) { sqlite3_bind_int64(statement_, i, v); }
    void bindReal(int i, double v) { sqlite3_bind_double(statement_, i, v); }
    void bindText(int i, const std::string& v)
    {
        sqlite3_bind_text(statement_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    }
    // Text that stays where it is until step() (SQLite takes no copy).
    void bindStaticText(int i, std::string_view v)
    {
        sqlite3_bind_text(statement_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
    }
    bool step()
    {
        if (injectedFailure())
            return false;
        const int rc = sqlite3_step(statement_);
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
        return rc == SQLITE_DONE || fail();
    }
    // step() for a statement whose every parameter is bound again before
    // the next step.
    bool stepRebound()
    {
        if (injectedFailure())
            return false;
        const int rc = sqlite3_step(statement_);
        sqlite3_reset(statement_);
        return rc == SQLITE_DONE || fail();
    }
    bool close()
    {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        const bool closed = sqlite3_close(db_) == SQLITE_OK;
        db_ = nullptr;
        return closed;
    }
    const std::string& error() const { return error_; }

private:
    bool fail()
    {
        // The system's text when the system refused (a full disk), as the
        // other outputs report it.
        const int systemError = db_ ? sqlite3_system_errno(db_) : 0;
        error_ = systemError != 0 ? std::strerror(systemError) : db_ ? sqlite3_errmsg(db_) : "out of memory";
        return false;
    }
    bool injectedFailure()
    {
        if (failFrom_ == 0 || ++writes_ < failFrom_)
            return false;
        error_ = std::strerror(ENOSPC);
        return true;
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
    std::string error_;
    std::size_t failFrom_ = 0;
    std::size_t writes_ = 0;
};

// A value into a column of the given SQL type: empty as NULL, numbers as
// numbers, anything else as the text it is.
// Binds a cell's text as its column's type takes it. Result: whether a
// number with decimals of its own ("3.5", "1e3") went to an INTEGER column.
bool bindCell(Database& db, int i, const std::string& text, std::string_view type)
{
    std::int64_t integer = 0;
    double real = 0;
    if (text.empty()) {
        db.bindNull(i);
    } else if (type == "INTEGER" && isInteger(text, integer)) {
        db.bindInt(i, integer);
    } else if (type != "TEXT" && isReal(text, real)) {
        db.bindReal(i, real);
        return type == "INTEGER";
    } else {
        db.bindText(i, text);
    }
    return false;
}

// A whole number of at most 18 digits, with an optional minus sign: the
// usual numeric cell, read without the general parse.
bool plainInteger(std::string_view text, std::int64_t& value)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.size() > 18)
        return false;
    std::int64_t v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

constexpr std::array<double, 16> exactPowersOfTen{1,    1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// A decimal number of at most 15 digits ("-12.05", "0.5", "7"), as strtod()
// reads it: the digits and the power of ten are exact doubles, so their
// quotient is rounded once, to the double nearest the decimal text. False
// for anything else, which takes the general parse.
bool plainDecimal(std::string_view text, double& value)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    std::int64_t digits = 0;
    int count = 0;
    int fraction = -1; // digits after the point, once there is one
    for (const char c : text) {
        if (c == '.' && fraction < 0) {
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9' || ++count > 15)
            return false;
        digits = digits * 10 + (c - '0');
        if (fraction >= 0)
            ++fraction;
    }
    if (count == 0)
        return false;
    const double magnitude = static_cast<double>(digits) / exactPowersOfTen[static_cast<std::size_t>(std::max(fraction, 0))];
    value = negative ? -magnitude : magnitude;
    return true;
}

std::string_view columnType(const TableColumn& column)
{
    if (column.isText())
        return "TEXT";
    return column.decimals() > 0 ? "REAL" : "INTEGER";
}

// The name a table takes in SQL: its output name, kept clear of the names
// SQLite keeps for itself.
std::string sqlTableName(const std::string& name)
{
    return upperAscii(name).rfind("SQLITE_", 0) == 0 ? "t_" + name : name;
}

constexpr std::array<std::string_view, 2> ownTables{"variables", "value_labels"};

class SqliteDatabase final : public TableFormat {
public:
    std::span<const std::string_view> reservedNames() const override { return ownTables; }

    TableOutcome begin(TableRun& run) override
    {
        db_.emplace(run.failFromWrite());
        name_ = run.base().name;
        std::filesystem::path temporary;
        TableOutcome reserved = run.reserveFile(run.base(), temporary);
        if (!reserved.isDone())
            return reserved;
        if (!db_->open(temporary))
            return failed();
        return TableOutcome::done();
    }

    // A first pass decides whether the identifiers can be the key, and which
    // numeric columns without implied decimals hold a value with decimals of
    // its own (REAL, not INTEGER).
    bool beginScan(const OutputTable& table) override
    {
        seen_.clear();
        hasId_ = !table.columns.empty() && table.columns.front().isIdentifier;
        unique_ = hasId_;
        numericId_ = hasId_;
        idColumn_ = hasId_ ? &table.columns.front() : nullptr;
        return hasId_;
    }

    void scanCase(std::span<const std::string_view> fields) override
    {
        const std::string_view id = cellView(fields[0], *idColumn_, ReservedCodes::Keep, scratch_);
        std::int64_t value = 0;
        numericId_ = numericId_ && (plainInteger(id, value) || isInteger(id, value));
        if (unique_ && (id.empty() || !seen_.emplace(id).second))
            unique_ = false;
    }

    TableOutcome beginTable(TableRun& run, const OutputTable& table) override
    {
        seen_.clear();
        table_ = &table;
        reserved_ = run.reserved();
        sqlName_ = latin1ToUtf8(sqlTableName(table.name));
        types_.clear();
        for (const TableColumn& column : table.columns)
            types_.push_back(column.isIdentifier ? (numericId_ ? "INTEGER" : "TEXT") : columnType(column));
        kinds_.clear();
        for (const std::string_view type : types_)
            kinds_.push_back(type == "INTEGER" ? Kind::Integer : type == "REAL" ? Kind::Real : Kind::Text);
        cells_ = CaseCells(table.columns, reserved_);
        real_.assign(table.columns.size(), false);
        anyReal_ = false;
        std::string insert = "INSERT INTO " + quotedName(sqlName_) + " VALUES (";
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            insert += i > 0 ? ", ?" : "?";
        insert += ")";
        if (!db_->exec("BEGIN") || !db_->exec(createStatement(sqlName_)) || !db_->prepare(insert))
            return failed();
        return TableOutcome::done();
    }

    // Each cell is bound where it lies (the raw data, or its column's
    // scratch in cells_) and a number is read once: the usual numbers
    // directly, anything else as bindCell() takes it.
    TableOutcome writeCase(TableRun&, std::span<const std::string_view> fields) override
    {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const int parameter = static_cast<int>(i + 1);
            const std::string_view text = cells_.cell(i, fields[i]);
            std::int64_t integer = 0;
            double real = 0;
            if (text.empty()) {
                db_->bindNull(parameter);
            } else if (kinds_[i] == Kind::Text) {
                db_->bindStaticText(parameter, text);
            } else if (kinds_[i] == Kind::Integer && plainInteger(text, integer)) {
                db_->bindInt(parameter, integer);
            } else if (kinds_[i] == Kind::Real && plainDecimal(text, real)) {
                db_->bindReal(parameter, real);
            } else if (bindCell(*db_, parameter, std::string(text), types_[i]) &&
                       !table_->columns[i].isIdentifier && !real_[i]) {
                real_[i] = anyReal_ = true;
            }
        }
        if (!db_->stepRebound())
            return failed();
        return TableOutcome::done();
    }

    TableOutcome endTable(TableRun&) override
    {
        // An INTEGER column that was given numbers with decimals becomes
        // REAL: the table is copied into one declared so, in the same
        // transaction (rare: the codebook gives such fields implied decimals).
        if (anyReal_) {
            for (std::size_t i = 0; i < real_.size(); ++i)
                if (real_[i])
                    types_[i] = "REAL";
            const std::string retyped = sqlName_ + " (retyped)";
            if (!db_->finalize() || !db_->exec(createStatement(retyped)) ||
                !db_->exec("INSERT INTO " + quotedName(retyped) + " SELECT * FROM " + quotedName(sqlName_)) ||
                !db_->exec("DROP TABLE " + quotedName(sqlName_)) ||
                !db_->exec("ALTER TABLE " + quotedName(retyped) + " RENAME TO " + quotedName(sqlName_)))
                return failed();
        }
        if (!db_->exec("COMMIT"))
            return failed();
        for (const TableColumn& column : table_->columns)
            if (!column.isIdentifier)
                written_.push_back({column, sqlTableName(table_->name)});
        // The next table decides its key and types afresh.
        hasId_ = unique_ = numericId_ = false;
        return TableOutcome::done();
    }

    TableOutcome finish(TableRun& run) override
    {
        TableOutcome step = writeVariables(run);
        if (step.isDone())
            step = writeValueLabels(run);
        if (step.isDone() && !db_->close())
            return failed();
        return step;
    }

    void abort() noexcept override
    {
        if (db_)
            db_->close();
    }

private:
    TableOutcome failed() const { return cannotWrite(name_, db_->error()); }
    // CREATE TABLE of the table in hand under `name`, with the column types
    // of types_ and the identifier as key when it is unique.
    std::string createStatement(const std::string& name) const
    {
        std::string create = "CREATE TABLE " + quotedName(name) + " (";
        for (std::size_t i = 0; i < table_->columns.size(); ++i) {
            const TableColumn& column = table_->columns[i];
            create += (i > 0 ? ", " : "") + quotedName(column.name) + " " + std::string(types_[i]);
            if (column.isIdentifier && unique_)
                create += " PRIMARY KEY";
        }
        return create + ")";
    }
    TableOutcome writeVariables(TableRun& run);
    TableOutcome writeValueLabels(TableRun& run);

    struct Written {
        TableColumn column;
        std::string table;
    };

    std::optional<Database> db_;
    std::string name_;
    const OutputTable* table_ = nullptr;
    ReservedCodes reserved_ = ReservedCodes::Keep;
    std::vector<std::string_view> types_;
    enum class Kind { Integer, Real, Text };
    std::vector<Kind> kinds_; // types_, to bind by
    CaseCells cells_;
    std::string scratch_;
    // The key of the table in hand, as its first pass found it.
    const TableColumn* idColumn_ = nullptr;
    bool hasId_ = false;
    bool unique_ = false;
    bool numericId_ = false;
    std::unordered_set<std::string> seen_;
    // The table in hand's name in SQL (UTF-8), and its INTEGER columns that
    // were given numbers with decimals.
    std::string sqlName_;
    std::vector<bool> real_;
    bool anyReal_ = false;
    // The variables written, with the table they went to.
    std::vector<Written> written_;
};

TableOutcome SqliteDatabase::writeVariables(TableRun& run)
{
    if (!db_->exec("BEGIN") ||
        !db_->exec("CREATE TABLE variables (name TEXT, label TEXT, data_file TEXT, location TEXT, type TEXT, "
                   "decimals INTEGER, section TEXT)") ||
        !db_->prepare("INSERT INTO variables VALUES (?, ?, ?, ?, ?, ?, ?)"))
        return failed();
    const WriterServices& services = run.services();
    CodebookStore& store = services.store;
    for (const Written& entry : written_) {
        const TableColumn& column = entry.column;
        std::string section;
        if (!store.sectionTitleOf(column.variable, section))
            return TableOutcome::stopped();
        const VariableRecord& record = store.record();
        db_->bindText(1, column.name);
        db_->bindText(2, latin1ToUtf8(trimmed(services.list.rowLabel(column.variable))));
        db_->bindText(3, latin1ToUtf8(entry.table));
        db_->bindText(4, std::string(trimmed(record.locationText())));
        db_->bindText(5, std::string(1, column.typeCode));
        db_->bindInt(6, column.decimals());
        db_->bindText(7, latin1ToUtf8(trimmed(section)));
        if (!db_->step())
            return failed();
    }
    if (!db_->exec("COMMIT"))
        return failed();
    return TableOutcome::done();
}

TableOutcome SqliteDatabase::writeValueLabels(TableRun& run)
{
    if (!db_->exec("BEGIN") ||
        !db_->exec("CREATE TABLE value_labels (variable TEXT, code TEXT, label TEXT, frequency INTEGER, "
                   "is_missing INTEGER)") ||
        !db_->prepare("INSERT INTO value_labels VALUES (?, ?, ?, ?, ?)"))
        return failed();
    CodebookStore& store = run.services().store;
    for (const Written& entry : written_) {
        const TableColumn& column = entry.column;
        const VariableRecord record = store.recordAt(column.variable);
        if (record.categoryLineCount == 0)
            continue;
        bool ok = true;
        store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                        [&](std::string_view line) {
                            const CategoryFields fields = splitCategoryLine(line);
                            const std::string code(trimmed(fields.code));
                            const bool reserved = std::find(column.reservedCodes.begin(),
                                                            column.reservedCodes.end(),
                                                            code) != column.reservedCodes.end();
                            // The code as the data column holds its value (cellText(): a reserved code
                            // as it is, others scaled by implied decimals), so that the two join.
                            const std::string value =
                                latin1ToUtf8(column.isText() ? categoryCodeValue(code)
                                             : reserved      ? code
                                                             : scaledCode(code, column.decimals()));
                            double number = 0;
                            const bool declared =
                                column.isText() ? column.declared.coversText(value)
                                                : column.declared.hasNumbers() && isReal(value, number) &&
                                                      column.declared.covers(number);
                            const bool missing =
                                reserved || declared || (!column.isText() && isBlankMissingCode(code));
                            db_->bindText(1, column.name);
                            db_->bindText(2, value);
                            const std::string_view label = trimmed(fields.label);
                            if (label.empty())
                                db_->bindNull(3);
                            else
                                db_->bindText(3, latin1ToUtf8(label));
                            std::int64_t frequency = 0;
                            if (isInteger(std::string(trimmed(fields.frequency)), frequency))
                                db_->bindInt(4, frequency);
                            else
                                db_->bindNull(4);
                            db_->bindInt(5, missing ? 1 : 0);
                            ok = db_->step();
                            return ok;
                        });
        if (!ok)
            return failed();
        if (!run.keepGoing())
            return TableOutcome::stopped();
    }
    if (!db_->exec("COMMIT"))
        return failed();
    return TableOutcome::done();
}

} // namespace

std::unique_ptr<TableFormat> makeSqliteDatabase()
{
    return std::make_unique<SqliteDatabase>();
}

} // namespace qavn
