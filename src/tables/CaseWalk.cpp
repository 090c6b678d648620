// The cases of a few variables read from the raw data, one data file at a
// pass, or several matched by the identifier.

#include "tables/CaseWalk.h"

#include "codebook/CodebookStore.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <unordered_map>

namespace qavn {

namespace {

constexpr long progressRange = 1000;
constexpr std::uint64_t pollCases = 4096;
constexpr std::uint64_t pollBytes = std::uint64_t{1} << 20;

ReadError walkError(std::string file, std::string reason, std::uint64_t line = 0)
{
    ReadError error;
    error.kind = ReadError::Kind::InvalidData;
    error.file = std::move(file);
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

} // namespace

// One data file of the walk: its table and where each variable's field is.
struct CaseWalk::Source {
    std::uint32_t file = 0;
    DataTable table;
    std::uint64_t bytes = 0;
    // For each variable of the walk: its column in this table, or -1 when
    // the variable lies in another file.
    std::vector<int> columnOf;
    RawDataReader reader;
};

CaseWalk::CaseWalk(std::span<const std::uint32_t> variables, CodebookStore& store, const ProjectSpec& project,
                   const Settings& settings, Ui& ui, Progress& progress)
    : variables_(variables.begin(), variables.end()), store_(store), project_(project), settings_(settings), ui_(ui),
      progress_(progress)
{
}

CaseWalk::~CaseWalk() = default;

ReadOutcome CaseWalk::prepare()
{
    const std::string codebook = settings_.resourceDir + "\\" + project_.filePrefix + "01.CDC";
    std::vector<std::uint32_t> files;
    for (const std::uint32_t v : variables_) {
        if (v < 1 || v > store_.recordCount())
            return walkError(codebook, "variable " + std::to_string(v) + " has no record in the codebook");
        const std::uint32_t f = store_.recordAt(v).fileNumber;
        if (!project_.dataFile(f))
            return walkError(codebook, "variable " + std::to_string(v) + " (" +
                                           std::string(store_.recordAt(v).variableName()) +
                                           ") belongs to data file " + std::to_string(f) +
                                           ", which the project does not have");
        if (std::find(files.begin(), files.end(), f) == files.end())
            files.push_back(f);
    }
    std::sort(files.begin(), files.end());
    sources_.clear();
    sources_.reserve(files.size());
    for (const std::uint32_t f : files) {
        Source& source = *sources_.emplace_back(std::make_unique<Source>());
        source.file = f;
        // buildDataTable walks an ascending list from the file's first row:
        // the variables of this file, sorted, without repeats.
        std::vector<std::uint32_t> own;
        for (const std::uint32_t v : variables_)
            if (store_.recordAt(v).fileNumber == f)
                own.push_back(v);
        std::sort(own.begin(), own.end());
        own.erase(std::unique(own.begin(), own.end()), own.end());
        const ReadOutcome built = buildDataTable(own, f, store_, *project_.dataFile(f), settings_,
                                                 [&] { return progress_.cancelled(); }, source.table);
        if (!built.isDone())
            return built;
        for (const std::uint32_t v : variables_) {
            int column = -1;
            for (std::size_t i = 0; i < source.table.columns.size(); ++i)
                if (!source.table.columns[i].isIdentifier && source.table.columns[i].variable == v)
                    column = static_cast<int>(i);
            if (column < 0 && store_.recordAt(v).fileNumber == f)
                return walkError(codebook, "variable " + std::to_string(v) + " (" +
                                               std::string(store_.recordAt(v).variableName()) +
                                               ") is not among the variables of data file " + std::to_string(f));
            source.columnOf.push_back(column);
        }
        std::error_code ec;
        const auto size = std::filesystem::file_size(rawDataHostPath(settings_, *project_.dataFile(f)), ec);
        source.bytes = ec ? 0 : static_cast<std::uint64_t>(size);
        totalBytes_ += source.bytes;
    }
    return ReadOutcome::done();
}

void CaseWalk::showBytes(std::uint64_t done)
{
    const long step = totalBytes_ == 0 ? 0
                                       : static_cast<long>(static_cast<long double>(done) * progressRange /
                                                           static_cast<long double>(totalBytes_));
    if (step > shown_) {
        progress_.advance(step - shown_);
        shown_ = step;
    }
}

void CaseWalk::showDone()
{
    showBytes(totalBytes_);
}

bool CaseWalk::poll(std::uint64_t bytes)
{
    if (cases_ - casesAtPoll_ < pollCases && bytes - bytesAtPoll_ < pollBytes)
        return true;
    casesAtPoll_ = cases_;
    bytesAtPoll_ = bytes;
    showBytes(std::min(bytesBefore_ + bytes, totalBytes_));
    return pollProgress(ui_, progress_);
}

ReadOutcome CaseWalk::walkOne(Source& source, const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    progress_.setText({}, "Reading " + source.table.rawName);
    std::vector<std::string_view> fields(variables_.size());
    std::uint64_t keptBytes = 0;
    std::uint64_t keptLines = 0;
    return readCases(source.reader, source.table, [&](std::span<const std::string_view> row) {
        ++cases_;
        for (std::size_t i = 0; i < fields.size(); ++i)
            fields[i] = row[static_cast<std::size_t>(source.columnOf[i])];
        if (!onCase(fields))
            return false;
        // The lines the fields are cut from stand for the file's line
        // lengths in the progress estimate.
        for (std::size_t l = 0; l < source.reader.caseLineCount(); ++l)
            keptBytes += source.reader.caseLine(l).size();
        keptLines += source.reader.caseLineCount();
        const std::uint64_t bytes = keptLines == 0 ? 0 : source.reader.lineNumber() * (keptBytes / keptLines);
        return poll(std::min(bytes, source.bytes));
    });
}

ReadOutcome CaseWalk::run(const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    progress_.setRange(progressRange);
    if (const ReadOutcome prepared = prepare(); !prepared.isDone())
        return prepared;
    if (sources_.size() == 1) {
        const ReadOutcome read = walkOne(*sources_.front(), onCase);
        if (read.isDone())
            showDone();
        return read;
    }
    return walkMatched(onCase);
}

// The identifier of a case as cases are matched by it: trimmed, a whole
// number (an optional sign and digits) by value, so "007" and "7" are one.
std::string CaseWalk::identifierKey(std::string_view raw)
{
    std::string_view id = raw;
    while (!id.empty() && (id.front() == ' ' || id.front() == '\t'))
        id.remove_prefix(1);
    while (!id.empty() && (id.back() == ' ' || id.back() == '\t'))
        id.remove_suffix(1);
    std::string_view digits = id;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    std::string key;
    if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        while (digits.size() > 1 && digits.front() == '0')
            digits.remove_prefix(1);
        key.push_back('n');
        if (negative && digits != "0")
            key.push_back('-');
        key.append(digits);
    } else {
        key.push_back('t');
        key.append(id);
    }
    return key;
}

// The first data file is read as it lies; the fields the walk needs of every
// other file are held by identifier (memory grows with those files' cases,
// a few bytes a variable each), then handed out beside the first file's case
// of the same identifier, and the cases the first file lacks after it.
ReadOutcome CaseWalk::walkMatched(const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    for (const auto& source : sources_)
        if (source->table.columns.empty() || !source->table.columns.front().isIdentifier)
            return walkError(source->table.rawName, "the data file has no identifier, so its cases cannot be "
                                                    "matched with those of the other data files");
    // The fields of one identifier, packed into one string (short ones stay
    // within it): per field its variable's index and length in two bytes
    // each, then its bytes, trimmed.
    struct Held {
        std::string packed;
        bool met = false;

        void add(std::size_t index, std::string_view field)
        {
            field = trimmed(field);
            for (const std::size_t n : {index, field.size()}) {
                packed += static_cast<char>(n & 0xFF);
                packed += static_cast<char>((n >> 8) & 0xFF);
            }
            packed += field;
        }
        void unpack(std::vector<std::string_view>& fields) const
        {
            for (std::size_t at = 0; at + 4 <= packed.size();) {
                const auto byte = [&](std::size_t k) { return static_cast<std::size_t>(static_cast<unsigned char>(packed[k])); };
                const std::size_t index = byte(at) | byte(at + 1) << 8;
                const std::size_t size = byte(at + 2) | byte(at + 3) << 8;
                fields[index] = std::string_view(packed).substr(at + 4, size);
                at += 4 + size;
            }
        }
    };
    std::unordered_map<std::string, Held> held;
    auto fail = [](const Source& source, std::uint64_t line, const std::string& reason) {
        return walkError(source.table.rawName, reason, line);
    };
    // Lines of a case in the file read last: the line its identifier was cut from.
    auto caseLine = [](const Source& source) {
        const auto per = static_cast<std::uint64_t>(std::max(1, source.table.file->linesPerCase));
        return source.reader.lineNumber() >= per ? source.reader.lineNumber() - per + 1 : 1;
    };
    for (std::size_t s = 1; s < sources_.size(); ++s) {
        Source& source = *sources_[s];
        progress_.setText({}, "Reading " + source.table.rawName);
        std::string problem;
        std::uint64_t problemLine = 0;
        std::uint64_t keptBytes = 0;
        std::uint64_t keptLines = 0;
        const ReadOutcome read = readCases(source.reader, source.table, [&](std::span<const std::string_view> row) {
            const std::string key = identifierKey(row[0]);
            if (key == "t") {
                problem = "a case without an identifier";
                problemLine = caseLine(source);
                return false;
            }
            auto [at, added] = held.try_emplace(key);
            if (!added && at->second.met) {
                problem = "the identifier " + std::string(trimmed(row[0])) + " is here twice";
                problemLine = caseLine(source);
                return false;
            }
            for (std::size_t i = 0; i < variables_.size(); ++i)
                if (source.columnOf[i] >= 0)
                    at->second.add(i, row[static_cast<std::size_t>(source.columnOf[i])]);
            at->second.met = true;
            for (std::size_t l = 0; l < source.reader.caseLineCount(); ++l)
                keptBytes += source.reader.caseLine(l).size();
            keptLines += source.reader.caseLineCount();
            const std::uint64_t bytes = keptLines == 0 ? 0 : source.reader.lineNumber() * (keptBytes / keptLines);
            return poll(std::min(bytes, source.bytes));
        });
        if (!problem.empty())
            return fail(source, problemLine, problem);
        if (!read.isDone())
            return read;
        // Marks cleared: the next file's repeats are told apart from matches.
        for (auto& [key, entry] : held)
            entry.met = false;
        bytesBefore_ += source.bytes;
    }

    // The first file, each case with the others' fields of its identifier.
    Source& first = *sources_.front();
    progress_.setText({}, "Reading " + first.table.rawName);
    std::vector<std::string_view> fields(variables_.size());
    std::string problem;
    std::uint64_t problemLine = 0;
    std::uint64_t keptBytes = 0;
    std::uint64_t keptLines = 0;
    const ReadOutcome read = readCases(first.reader, first.table, [&](std::span<const std::string_view> row) {
        const std::string key = identifierKey(row[0]);
        if (key == "t") {
            problem = "a case without an identifier";
            problemLine = caseLine(first);
            return false;
        }
        const auto other = held.find(key);
        // A repeat of an identifier the other files hold would meet their
        // case twice.
        if (other != held.end() && other->second.met) {
            problem = "the identifier " + std::string(trimmed(row[0])) + " is here twice";
            problemLine = caseLine(first);
            return false;
        }
        std::fill(fields.begin(), fields.end(), std::string_view());
        if (other != held.end())
            other->second.unpack(fields);
        for (std::size_t i = 0; i < variables_.size(); ++i)
            if (first.columnOf[i] >= 0)
                fields[i] = row[static_cast<std::size_t>(first.columnOf[i])];
        if (other != held.end())
            other->second.met = true;
        ++cases_;
        if (!onCase(fields))
            return false;
        for (std::size_t l = 0; l < first.reader.caseLineCount(); ++l)
            keptBytes += first.reader.caseLine(l).size();
        keptLines += first.reader.caseLineCount();
        const std::uint64_t bytes = keptLines == 0 ? 0 : first.reader.lineNumber() * (keptBytes / keptLines);
        return poll(std::min(bytes, first.bytes));
    });
    if (!problem.empty())
        return fail(first, problemLine, problem);
    if (!read.isDone())
        return read;
    // The identifiers only the other files hold: blank fields for the first file's variables.
    for (auto& [key, entry] : held) {
        if (entry.met)
            continue;
        std::fill(fields.begin(), fields.end(), std::string_view());
        entry.unpack(fields);
        ++cases_;
        if (!onCase(fields))
            return ReadOutcome::stopped();
        if (!poll(0))
            return ReadOutcome::stopped();
    }
    showDone();
    return ReadOutcome::done();
}

} // namespace qavn
