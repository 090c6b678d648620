#include "formats/TableExports.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "writers/WriterContext.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <unordered_set>

namespace qavn {

namespace {

std::string quotedName(std::string_view name)
{
    // SQL text ends at a NUL and an empty quoted name is refused: a control
    // byte becomes %XX (and % itself %25, so distinct names stay distinct),
    // an empty name a lone %.
    if (name.empty())
        return "\"%\"";
    std::string quoted(1, '"');
    for (const char c : latin1ToUtf8(name)) {
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
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            return fail();
        // The file is a temporary one until it is complete: no journal.
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
    void bindNull(int i) { sqlite3_bind_null(statement_, i); }
    void bindInt(int i, std::int64_t v) { sqlite3_bind_int64(statement_, i, v); }
    void bindReal(int i, double v) { sqlite3_bind_double(statement_, i, v); }
    void bindText(int i, const std::string& v)
    {
        sqlite3_bind_text(statement_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
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
void bindCell(Database& db, int i, const std::string& text, std::string_view type)
{
    std::int64_t integer = 0;
    double real = 0;
    if (text.empty())
        db.bindNull(i);
    else if (type == "INTEGER" && isInteger(text, integer))
        db.bindInt(i, integer);
    else if (type != "TEXT" && isReal(text, real))
        db.bindReal(i, real);
    else
        db.bindText(i, text);
}

std::string_view columnType(const TableColumn& column)
{
    if (column.isText())
        return "TEXT";
    return column.decimals() > 0 ? "REAL" : "INTEGER";
}

class SqliteRun {
public:
    SqliteRun(const WriterServices& services, std::span<const std::uint32_t> tagged,
              const TableExportOptions& options, Progress& progress)
        : services_(services), tagged_(tagged), options_(options), progress_(progress), ui_(services.ui),
          db_(options.failFromWrite)
    {
    }

    OutputResult run();

private:
    // Writes the table's cases; the bar moves by `share` over it, case by
    // case when the number of cases is known.
    bool writeDataTable(const DataTable& table, const std::string& tableName, long share);
    bool writeVariables();
    bool databaseFailed()
    {
        ui_.error("Cannot Write " + name_ + " !\n" + db_.error());
        result_.status = OutputStatus::Failed;
        return false;
    }
    bool stopped(const std::string& error)
    {
        if (!error.empty())
            ui_.error(error);
        return false;
    }

    const WriterServices& services_;
    std::span<const std::uint32_t> tagged_;
    const TableExportOptions& options_;
    Progress& progress_;
    Ui& ui_;
    Database db_;
    RawDataReader reader_;
    std::string name_;
    OutputResult result_;
    // The variables written, with the table they went to.
    std::vector<std::pair<const TableColumn*, std::string>> written_;
    std::vector<DataTable> tables_;
};

bool SqliteRun::writeDataTable(const DataTable& table, const std::string& tableName, long share)
{
    const DataFileEntry& file = *table.file;
    std::string error;
    auto readCases = [&](const std::function<bool(std::span<const std::string_view>)>& onCase) {
        const std::optional<std::string> rawName = openRawData(reader_, services_.settings, file, ui_);
        if (!rawName)
            return false;
        const bool read = forEachCase(reader_, table, onCase, error, *rawName);
        reader_.close();
        return read || stopped(error);
    };

    // A first pass over the identifiers decides whether they can be the key.
    bool unique = false;
    bool numericId = false;
    if (!table.columns.empty() && table.columns.front().isIdentifier) {
        std::unordered_set<std::string> seen;
        unique = true;
        numericId = true;
        const bool read = readCases([&](std::span<const std::string_view> fields) {
            std::string id = cellText(fields[0], table.columns[0], options_.reserved);
            std::int64_t value = 0;
            numericId = numericId && isInteger(id, value);
            if (id.empty() || !seen.insert(std::move(id)).second)
                unique = false;
            return pollProgress(ui_, progress_);
        });
        if (!read)
            return false;
    }

    std::string create = "CREATE TABLE " + quotedName(tableName) + " (";
    std::string insert = "INSERT INTO " + quotedName(tableName) + " VALUES (";
    std::vector<std::string_view> types;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const TableColumn& column = table.columns[i];
        const std::string_view type = column.isIdentifier ? (numericId ? "INTEGER" : "TEXT") : columnType(column);
        types.push_back(type);
        create += (i > 0 ? ", " : "") + quotedName(column.name) + " " + std::string(type);
        if (column.isIdentifier && unique)
            create += " PRIMARY KEY";
        insert += i > 0 ? ", ?" : "?";
    }
    create += ")";
    insert += ")";
    if (!db_.exec("BEGIN") || !db_.exec(create) || !db_.prepare(insert))
        return databaseFailed();

    bool failed = false;
    long caseCount = 0;
    long advanced = 0;
    const bool read = readCases([&](std::span<const std::string_view> fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            bindCell(db_, static_cast<int>(i + 1), cellText(fields[i], table.columns[i], options_.reserved), types[i]);
        if (!db_.step()) {
            failed = true;
            return false;
        }
        if ((++caseCount & 255) == 0)
            progress_.setText({}, std::to_string(caseCount));
        if (const std::uint64_t cases = reader_.evenCaseCount(file.linesPerCase); cases > 0) {
            const auto due = static_cast<long>(static_cast<std::uint64_t>(share) *
                                               std::min<std::uint64_t>(static_cast<std::uint64_t>(caseCount), cases) /
                                               cases);
            if (due > advanced) {
                progress_.advance(due - advanced);
                advanced = due;
            }
        }
        return pollProgress(ui_, progress_);
    });
    if (share > advanced)
        progress_.advance(share - advanced);
    if (failed)
        return databaseFailed();
    if (!read)
        return false;
    if (!db_.exec("COMMIT"))
        return databaseFailed();
    return true;
}

bool SqliteRun::writeVariables()
{
    if (!db_.exec("BEGIN") ||
        !db_.exec("CREATE TABLE variables (name TEXT, label TEXT, data_file TEXT, location TEXT, type TEXT, "
                  "decimals INTEGER, section TEXT)") ||
        !db_.prepare("INSERT INTO variables VALUES (?, ?, ?, ?, ?, ?, ?)"))
        return databaseFailed();
    CodebookStore& store = services_.store;
    for (const auto& [column, tableName] : written_) {
        std::string section;
        if (!store.sectionTitleOf(column->variable, section))
            return stopped({});
        const VariableRecord& record = store.record();
        db_.bindText(1, latin1ToUtf8(column->name));
        db_.bindText(2, latin1ToUtf8(trimmed(services_.list.rowLabel(column->variable))));
        db_.bindText(3, tableName);
        db_.bindText(4, std::string(trimmed(record.locationText())));
        db_.bindText(5, std::string(1, column->typeCode));
        db_.bindInt(6, column->decimals());
        db_.bindText(7, latin1ToUtf8(trimmed(section)));
        if (!db_.step())
            return databaseFailed();
    }
    if (!db_.exec("COMMIT"))
        return databaseFailed();

    if (!db_.exec("BEGIN") ||
        !db_.exec("CREATE TABLE value_labels (variable TEXT, code TEXT, label TEXT, frequency INTEGER, "
                  "is_missing INTEGER)") ||
        !db_.prepare("INSERT INTO value_labels VALUES (?, ?, ?, ?, ?)"))
        return databaseFailed();
    for (const auto& entry : written_) {
        // A named copy, not a structured binding: lambdas capture it on every
        // compiler the program builds with.
        const auto* column = entry.first;
        const VariableRecord record = store.recordAt(column->variable);
        if (record.categoryLineCount == 0)
            continue;
        bool ok = true;
        store.readLines(record.categoryRef, record.categoryLineCount, LineVariant::CategoryFields,
                        [&](std::string_view line) {
                            const CategoryFields fields = splitCategoryLine(line);
                            const std::string code(trimmed(fields.code));
                            const bool reserved = std::find(column->reservedCodes.begin(),
                                                            column->reservedCodes.end(),
                                                            code) != column->reservedCodes.end();
                            db_.bindText(1, latin1ToUtf8(column->name));
                            db_.bindText(2, latin1ToUtf8(code));
                            db_.bindText(3, latin1ToUtf8(trimmed(fields.label)));
                            std::int64_t frequency = 0;
                            if (isInteger(std::string(trimmed(fields.frequency)), frequency))
                                db_.bindInt(4, frequency);
                            else
                                db_.bindNull(4);
                            db_.bindInt(5, reserved ? 1 : 0);
                            ok = db_.step();
                            return ok;
                        });
        if (!ok)
            return databaseFailed();
        if (!pollProgress(ui_, progress_))
            return false;
    }
    if (!db_.exec("COMMIT"))
        return databaseFailed();
    return true;
}

// A new empty file beside `target` that no other run uses, named as
// FileTextOutput names its temporaries so that one left by a killed run is
// cleared the same way.
std::filesystem::path makeTemporary(const std::filesystem::path& target, std::string& error)
{
    std::random_device random;
    const std::string chars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix;
        for (int i = 0; i < 6; ++i)
            suffix += chars[random() % chars.size()];
        const std::filesystem::path path =
            target.parent_path() /
            ("." + target.filename().string() + ".qavn-" + std::to_string(::getpid()) + "-" + suffix);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            error = std::strerror(errno);
            return {};
        }
    }
    error = std::strerror(EEXIST);
    return {};
}

bool syncFile(const std::filesystem::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

OutputResult SqliteRun::run()
{
    result_.status = OutputStatus::Stopped;
    name_ = outputFileName(options_.path, ".db");
    result_.fileName = name_;
    const std::filesystem::path host = chosenHostPath(name_);
    if (name_.empty() || name_.back() == '\\' || name_.back() == '/' || hasControlCharacter(name_)) {
        ui_.error("The name " + name_ + " does not name a file.");
        progress_.requestCancel();
        return result_;
    }
    const std::vector<ProtectedFile> inputs =
        projectInputs(services_.project, services_.settings, services_.projectId);
    if (const ProtectedFile* input = protectedFileAt(host, inputs)) {
        ui_.error("The file " + name_ + " would replace " + input->name + ".");
        progress_.requestCancel();
        return result_;
    }
    FileTextOutput::removeStaleTemporaries(host.parent_path().empty() ? std::filesystem::path(".")
                                                                      : host.parent_path());
    std::string error;
    const std::filesystem::path temporary = makeTemporary(host, error);
    if (temporary.empty()) {
        ui_.error("Cannot Open " + name_, fileDetail(host, error));
        result_.status = OutputStatus::Failed;
        return result_;
    }
    bool complete = false;
    try {
        complete = [&] {
            if (!db_.open(temporary))
                return databaseFailed();
            progress_.setRange(300);
            const auto fileCount = static_cast<std::uint32_t>(services_.project.dataFiles.size());
            std::vector<std::string> names;
            tables_.resize(fileCount);
            for (std::uint32_t f = 1; f <= fileCount; ++f) {
                const DataFileEntry& file = *services_.project.dataFile(f);
                DataTable& table = tables_[f - 1];
                if (!buildDataTable(tagged_, f, services_.store, file, [&] { return progress_.cancelled(); },
                                    table, error))
                    return stopped(error);
                if (table.columns.empty())
                    continue;
                std::string tableName = latin1ToUtf8(dataPathName(file.dataPath));
                const auto taken = [&](const std::string& n) {
                    const std::string upper = upperAscii(n);
                    return upper == "VARIABLES" || upper == "VALUE_LABELS" || upper.rfind("SQLITE_", 0) == 0 ||
                           std::any_of(names.begin(), names.end(),
                                       [&](const std::string& other) { return upperAscii(other) == upper; });
                };
                const std::string base = tableName.empty() ? "data" : tableName;
                tableName = base;
                for (int k = 2; taken(tableName); ++k)
                    tableName = base + "_" + std::to_string(k);
                names.push_back(tableName);
                progress_.setText({}, file.dataPath);
                if (!writeDataTable(table, tableName, 200 / static_cast<long>(fileCount)))
                    return false;
                for (const TableColumn& column : table.columns)
                    if (!column.isIdentifier)
                        written_.emplace_back(&column, tableName);
            }
            if (!writeVariables())
                return false;
            if (!db_.close())
                return databaseFailed();
            if (!syncFile(temporary)) {
                ui_.error("Cannot Write " + name_ + " !\n" + std::strerror(errno));
                result_.status = OutputStatus::Failed;
                return false;
            }
            std::error_code ec;
            std::filesystem::rename(temporary, host, ec);
            if (ec) {
                ui_.error("Cannot Write " + name_ + " !\n" + ec.message());
                result_.status = OutputStatus::Failed;
                return false;
            }
            progress_.advance(300);
            return true;
        }();
    } catch (const std::exception& e) {
        ui_.error(e.what());
        result_.status = OutputStatus::Failed;
    }
    if (!complete) {
        std::error_code ec;
        if (result_.status == OutputStatus::Stopped) {
            // The tables completed so far take the name; the one cut short
            // is rolled back.
            db_.exec("ROLLBACK");
            if (db_.close() && syncFile(temporary)) {
                std::filesystem::rename(temporary, host, ec);
                if (!ec)
                    return result_;
            }
        }
        db_.close();
        std::filesystem::remove(temporary, ec);
        return result_;
    }
    result_.status = OutputStatus::Written;
    result_.generatedHostFiles.push_back(host.string());
    return result_;
}

} // namespace

OutputResult writeSqliteDatabase(const WriterServices& services, std::span<const std::uint32_t> tagged,
                                 const TableExportOptions& options, Progress& progress)
{
    SqliteRun run(services, tagged, options, progress);
    return run.run();
}

} // namespace qavn
