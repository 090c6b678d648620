// The cases of several data files matched by their identifier, streamed;
// files out of identifier order sorted on disk.

#include "export/MergedCases.h"

#include "platform/HostPath.h"
#include "platform/Latin1.h"
#include "platform/Strings.h"
#include "project/ProjectSpec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <queue>
#include <unistd.h>

namespace qavn {

namespace {

int sign(int value)
{
    return (value > 0) - (value < 0);
}

ReadError caseError(const DataTable& table, std::uint64_t line, std::string reason)
{
    ReadError error;
    error.kind = ReadError::Kind::InvalidData;
    error.file = table.rawName;
    error.hostPath = toHostPath(table.rawName).string();
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

ReadError blankIdentifier(const DataTable& table, std::uint64_t line)
{
    return caseError(table, line,
                     "the case has no identifier; cases are matched across data files by their identifier");
}

ReadError twice(const DataTable& table, std::string_view id, std::uint64_t line, std::uint64_t otherLine)
{
    return caseError(table, std::max(line, otherLine),
                     "the identifier " + latin1ToUtf8(id) + " is also the identifier of the case on line " +
                         std::to_string(std::min(line, otherLine)) +
                         "; cases are matched across data files by their identifier, which must be unique in each");
}

// A case in a sorting file: its length (of what follows), the line it
// starts on, then each raw field as its length and bytes.
void appendRecord(std::string& out, std::uint64_t line, std::span<const std::string_view> fields)
{
    std::uint32_t length = sizeof line;
    for (const std::string_view field : fields)
        length += static_cast<std::uint32_t>(sizeof(std::uint32_t) + field.size());
    out.append(reinterpret_cast<const char*>(&length), sizeof length);
    out.append(reinterpret_cast<const char*>(&line), sizeof line);
    for (const std::string_view field : fields) {
        const auto size = static_cast<std::uint32_t>(field.size());
        out.append(reinterpret_cast<const char*>(&size), sizeof size);
        out.append(field);
    }
}

// The parts of a record (the bytes after its length).
struct RecordView {
    std::uint64_t line = 0;
    std::string_view id; // the first field, trimmed

    static RecordView of(std::string_view record)
    {
        RecordView view;
        std::memcpy(&view.line, record.data(), sizeof view.line);
        std::uint32_t size = 0;
        std::memcpy(&size, record.data() + sizeof view.line, sizeof size);
        view.id = trimmed(record.substr(sizeof view.line + sizeof size, size));
        return view;
    }
};

void fieldsOf(std::string_view record, std::vector<std::string_view>& fields)
{
    std::size_t at = sizeof(std::uint64_t);
    for (std::string_view& field : fields) {
        std::uint32_t size = 0;
        std::memcpy(&size, record.data() + at, sizeof size);
        at += sizeof size;
        field = record.substr(at, size);
        at += size;
    }
}

} // namespace

int compareIdentifiers(std::string_view a, std::string_view b)
{
    a = trimmed(a);
    b = trimmed(b);
    const bool numberA = isSignedWholeNumber(a);
    const bool numberB = isSignedWholeNumber(b);
    if (numberA != numberB)
        return numberA ? -1 : 1;
    if (!numberA)
        return sign(a.compare(b));
    auto parts = [](std::string_view text, bool& negative) {
        negative = text.front() == '-';
        if (text.front() == '-' || text.front() == '+')
            text.remove_prefix(1);
        const std::size_t first = text.find_first_not_of('0');
        text = first == std::string_view::npos ? std::string_view() : text.substr(first);
        if (text.empty())
            negative = false; // minus zero is zero
        return text;
    };
    bool negativeA = false;
    bool negativeB = false;
    const std::string_view digitsA = parts(a, negativeA);
    const std::string_view digitsB = parts(b, negativeB);
    if (negativeA != negativeB)
        return negativeA ? -1 : 1;
    int order = digitsA.size() != digitsB.size() ? (digitsA.size() < digitsB.size() ? -1 : 1)
                                                 : sign(digitsA.compare(digitsB));
    return negativeA ? -order : order;
}

std::vector<TableColumn> mergedColumns(std::span<const DataTable* const> tables)
{
    std::vector<TableColumn> columns;
    auto taken = [&](const std::string& name) {
        return std::any_of(columns.begin(), columns.end(),
                           [&](const TableColumn& other) { return upperAscii(other.name) == upperAscii(name); });
    };
    for (const DataTable* table : tables) {
        for (const TableColumn& column : table->columns) {
            if (column.isIdentifier && !columns.empty())
                continue;
            TableColumn merged = column;
            const std::string base = column.name;
            merged.name = base;
            for (int k = 2; taken(merged.name); ++k)
                merged.name = base + "_" + std::to_string(k);
            columns.push_back(std::move(merged));
        }
    }
    return columns;
}

// A temporary file with no name: written once through a buffer, then read at
// any place.
class MergedCases::Spill {
public:
    ~Spill()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    bool create(const std::filesystem::path& folder)
    {
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            // A file system without unnamed files: a named one, unlinked at once.
            std::string name = (folder / ".qavn-sort-XXXXXX").string();
            fd_ = ::mkostemp(name.data(), O_CLOEXEC);
            if (fd_ >= 0)
                ::unlink(name.c_str());
        }
        if (fd_ < 0)
            error_ = std::strerror(errno);
        return fd_ >= 0;
    }

    std::uint64_t size() const { return written_ + buffer_.size(); }

    bool append(std::string_view bytes)
    {
        buffer_.append(bytes);
        return buffer_.size() < bufferSize || flush();
    }

    bool flush()
    {
        std::size_t done = 0;
        while (done < buffer_.size()) {
            const ssize_t n = ::pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                                       static_cast<off_t>(written_ + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error_ = std::strerror(n < 0 ? errno : ENOSPC);
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        written_ += buffer_.size();
        buffer_.clear();
        return true;
    }

    int fd() const { return fd_; }
    const std::string& error() const { return error_; }

private:
    static constexpr std::size_t bufferSize = std::size_t{1} << 20;
    int fd_ = -1;
    std::uint64_t written_ = 0;
    std::string buffer_;
    std::string error_;
};

namespace {

// The records of one run of a sorting file, read through a buffer of their own.
class RunReader {
public:
    RunReader(int fd, std::uint64_t begin, std::uint64_t end) : fd_(fd), position_(begin), end_(end) {}

    // The next record into `record`; false at the end of the run or on a
    // read error (error() then says so).
    bool next()
    {
        std::uint32_t length = 0;
        if (!take(sizeof length))
            return false;
        std::memcpy(&length, buffer_.data() + at_, sizeof length);
        at_ += sizeof length;
        if (!take(length)) {
            if (error_.empty())
                error_ = "the sorting file ends inside a case";
            return false;
        }
        record_ = std::string_view(buffer_).substr(at_, length);
        at_ += length;
        view_ = RecordView::of(record_);
        return true;
    }

    std::string_view record() const { return record_; }
    const RecordView& view() const { return view_; }
    const std::string& error() const { return error_; }

private:
    // Makes `count` unread bytes available in the buffer.
    bool take(std::size_t count)
    {
        if (buffer_.size() - at_ >= count)
            return true;
        buffer_.erase(0, at_);
        at_ = 0;
        while (buffer_.size() < count && position_ < end_) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(end_ - position_, std::max(count, chunk)));
            const std::size_t had = buffer_.size();
            buffer_.resize(had + want);
            const ssize_t n = ::pread(fd_, buffer_.data() + had, want, static_cast<off_t>(position_));
            if (n < 0 && errno == EINTR) {
                buffer_.resize(had);
                continue;
            }
            if (n <= 0) {
                buffer_.resize(had);
                error_ = n < 0 ? std::strerror(errno) : "the sorting file ends early";
                return false;
            }
            buffer_.resize(had + static_cast<std::size_t>(n));
            position_ += static_cast<std::uint64_t>(n);
        }
        return buffer_.size() >= count;
    }

    static constexpr std::size_t chunk = std::size_t{256} << 10;
    int fd_;
    std::uint64_t position_;
    std::uint64_t end_;
    std::string buffer_;
    std::size_t at_ = 0;
    std::string_view record_;
    RecordView view_;
    std::string error_;
};

using Run = std::pair<std::uint64_t, std::uint64_t>; // bytes [first, second) of a sorting file

} // namespace

struct MergedCases::Table {
    const DataTable* data = nullptr;
    bool sorted = false;
    std::unique_ptr<Spill> spill; // when sorted: the cases in identifier order
    Run run;
};

// A table's cases in identifier order, one at a time: read from its raw data,
// or from its sorting file.
class MergedCases::Source {
public:
    explicit Source(const Table& table)
        : table_(table), reader_(std::size_t{1} << 20), cursor_(reader_, *table.data),
          fields_(table.data->columns.size())
    {
        if (table.sorted)
            run_.emplace(table.spill->fd(), table.run.first, table.run.second);
    }

    bool open()
    {
        if (run_)
            return true;
        if (!cursor_.open()) {
            error_ = cursor_.error();
            return false;
        }
        return true;
    }

    // Moves to the next case; false at the end or on a failure (failed()).
    bool next()
    {
        if (run_) {
            if (!run_->next()) {
                if (!run_->error().empty())
                    error_ = caseError(*table_.data, 0, "reading its sorted cases failed: " + run_->error());
                return live_ = false;
            }
            fieldsOf(run_->record(), fields_);
            return live_ = true;
        }
        switch (cursor_.next()) {
        case CaseCursor::Step::Case: {
            const std::span<const std::string_view> fields = cursor_.fields();
            std::copy(fields.begin(), fields.end(), fields_.begin());
            return live_ = true;
        }
        case CaseCursor::Step::End:
            break;
        case CaseCursor::Step::Failed:
            error_ = cursor_.error();
            break;
        }
        return live_ = false;
    }

    bool live() const { return live_; }
    bool failed() const { return error_.has_value(); }
    const ReadError& error() const { return *error_; }
    std::string_view id() const { return fields_.front(); }
    const std::vector<std::string_view>& fields() const { return fields_; }

private:
    const Table& table_;
    RawDataReader reader_;
    CaseCursor cursor_;
    std::optional<RunReader> run_;
    std::vector<std::string_view> fields_;
    std::optional<ReadError> error_;
    bool live_ = false;
};

MergedCases::MergedCases(std::vector<const DataTable*> tables, std::filesystem::path spillFolder, Limits limits)
    : spillFolder_(std::move(spillFolder)), limits_(limits)
{
    limits_.fanIn = std::max<std::size_t>(limits_.fanIn, 2);
    for (const DataTable* data : tables) {
        Table& table = tables_.emplace_back();
        table.data = data;
    }
    width_ = mergedColumns(tables).size();
}

MergedCases::~MergedCases() = default;

bool MergedCases::sorted(std::size_t i) const
{
    return tables_[i].sorted;
}

ReadOutcome MergedCases::prepare(const std::function<bool()>& keepGoing)
{
    prepared_ = false;
    for (Table& table : tables_) {
        table.sorted = false;
        table.spill.reset();
        const ReadOutcome checked = check(table, keepGoing);
        if (!checked.isDone())
            return checked;
    }
    prepared_ = true;
    return ReadOutcome::done();
}

// The table read as it lies: done when its identifiers come in order, each
// once; else sorted.
ReadOutcome MergedCases::check(Table& table, const std::function<bool()>& keepGoing)
{
    RawDataReader reader;
    CaseCursor cursor(reader, *table.data);
    if (!cursor.open())
        return cursor.error();
    std::string previous;
    std::uint64_t previousLine = 0;
    for (std::uint64_t n = 1;; ++n) {
        const CaseCursor::Step step = cursor.next();
        if (step == CaseCursor::Step::End)
            return ReadOutcome::done();
        if (step == CaseCursor::Step::Failed)
            return cursor.error();
        const std::string_view id = trimmed(cursor.fields().front());
        if (id.empty())
            return blankIdentifier(*table.data, cursor.line());
        if (previousLine != 0) {
            const int order = compareIdentifiers(previous, id);
            if (order == 0)
                return twice(*table.data, id, cursor.line(), previousLine);
            if (order > 0)
                return sort(table, keepGoing);
        }
        previous.assign(id);
        previousLine = cursor.line();
        if ((n & 255) == 0 && !keepGoing())
            return ReadOutcome::stopped();
    }
}

// The table's cases sorted by identifier into a file of their own: sorted
// runs that fit the memory allowed, then merged a fan-in at a time until one
// run is left. Equal identifiers meet in a run or a merge, and are refused.
ReadOutcome MergedCases::sort(Table& table, const std::function<bool()>& keepGoing)
{
    const DataTable& data = *table.data;
    auto spillFailed = [&](const Spill& spill) -> ReadOutcome {
        ReadError error = caseError(data, 0,
                                    "sorting its cases by their identifier in " + spillFolder_.string() +
                                        " failed: " + spill.error());
        error.kind = ReadError::Kind::CannotRead;
        return error;
    };
    auto spill = std::make_unique<Spill>();
    if (!spill->create(spillFolder_))
        return spillFailed(*spill);

    // The runs.
    std::vector<Run> runs;
    {
        RawDataReader reader;
        CaseCursor cursor(reader, data);
        if (!cursor.open())
            return cursor.error();
        std::string arena;
        std::vector<std::size_t> records;
        struct Keyed {
            RecordView view;
            std::size_t at;
        };
        std::vector<Keyed> order;
        auto flushRun = [&]() -> ReadOutcome {
            if (records.empty())
                return ReadOutcome::done();
            order.clear();
            for (const std::size_t at : records)
                order.push_back({RecordView::of(std::string_view(arena).substr(at + sizeof(std::uint32_t))), at});
            std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) {
                return compareIdentifiers(a.view.id, b.view.id) < 0;
            });
            const std::uint64_t begin = spill->size();
            for (std::size_t i = 0; i < order.size(); ++i) {
                if (i > 0 && compareIdentifiers(order[i - 1].view.id, order[i].view.id) == 0)
                    return twice(data, order[i].view.id, order[i].view.line, order[i - 1].view.line);
                std::uint32_t length = 0;
                std::memcpy(&length, arena.data() + order[i].at, sizeof length);
                if (!spill->append(std::string_view(arena).substr(order[i].at, sizeof length + length)))
                    return spillFailed(*spill);
            }
            runs.emplace_back(begin, spill->size());
            arena.clear();
            records.clear();
            return ReadOutcome::done();
        };
        for (std::uint64_t n = 1;; ++n) {
            const CaseCursor::Step step = cursor.next();
            if (step == CaseCursor::Step::Failed)
                return cursor.error();
            if (step == CaseCursor::Step::End)
                break;
            if (trimmed(cursor.fields().front()).empty())
                return blankIdentifier(data, cursor.line());
            records.push_back(arena.size());
            appendRecord(arena, cursor.line(), cursor.fields());
            if (arena.size() >= limits_.runBytes) {
                const ReadOutcome flushed = flushRun();
                if (!flushed.isDone())
                    return flushed;
            }
            if ((n & 255) == 0 && !keepGoing())
                return ReadOutcome::stopped();
        }
        const ReadOutcome flushed = flushRun();
        if (!flushed.isDone())
            return flushed;
        if (!spill->flush())
            return spillFailed(*spill);
    }

    // The merges, a fan-in of runs at a time, each round into a new file.
    while (runs.size() > 1) {
        auto next = std::make_unique<Spill>();
        if (!next->create(spillFolder_))
            return spillFailed(*next);
        std::vector<Run> merged;
        for (std::size_t first = 0; first < runs.size(); first += limits_.fanIn) {
            const std::size_t last = std::min(runs.size(), first + limits_.fanIn);
            std::vector<RunReader> readers;
            readers.reserve(last - first);
            for (std::size_t r = first; r < last; ++r)
                readers.emplace_back(spill->fd(), runs[r].first, runs[r].second);
            auto later = [&](std::size_t a, std::size_t b) {
                const int order = compareIdentifiers(readers[a].view().id, readers[b].view().id);
                return order != 0 ? order > 0 : a > b;
            };
            std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> heads(later);
            for (std::size_t r = 0; r < readers.size(); ++r) {
                if (readers[r].next())
                    heads.push(r);
                else if (!readers[r].error().empty())
                    return caseError(data, 0, "reading its sorting file failed: " + readers[r].error());
            }
            const std::uint64_t begin = next->size();
            std::string previous;
            std::uint64_t previousLine = 0;
            std::uint64_t n = 0;
            while (!heads.empty()) {
                const std::size_t r = heads.top();
                heads.pop();
                const RecordView& view = readers[r].view();
                if (previousLine != 0 && compareIdentifiers(previous, view.id) == 0)
                    return twice(data, view.id, view.line, previousLine);
                previous.assign(view.id);
                previousLine = view.line;
                const std::string_view record = readers[r].record();
                const auto length = static_cast<std::uint32_t>(record.size());
                if (!next->append(std::string_view(reinterpret_cast<const char*>(&length), sizeof length)) ||
                    !next->append(record))
                    return spillFailed(*next);
                if (readers[r].next())
                    heads.push(r);
                else if (!readers[r].error().empty())
                    return caseError(data, 0, "reading its sorting file failed: " + readers[r].error());
                if ((++n & 1023) == 0 && !keepGoing())
                    return ReadOutcome::stopped();
            }
            merged.emplace_back(begin, next->size());
        }
        if (!next->flush())
            return spillFailed(*next);
        spill = std::move(next);
        runs = std::move(merged);
    }
    table.sorted = true;
    table.run = runs.empty() ? Run{0, 0} : runs.front();
    table.spill = std::move(spill);
    return ReadOutcome::done();
}

ReadOutcome MergedCases::walk(const std::function<bool(std::span<const std::string_view>)>& onCase)
{
    if (!prepared_)
        return caseError(*tables_.front().data, 0, "its cases were not prepared for matching");
    std::vector<std::unique_ptr<Source>> sources;
    std::vector<std::size_t> base; // where each table's fields start in a merged case
    std::size_t at = 1;
    for (const Table& table : tables_) {
        auto& source = sources.emplace_back(std::make_unique<Source>(table));
        if (!source->open())
            return source->error();
        base.push_back(at);
        at += table.data->columns.size() - 1;
        if (!source->next() && source->failed())
            return source->error();
    }
    std::vector<std::string_view> fields(width_);
    std::vector<bool> matched(sources.size());
    for (;;) {
        const Source* first = nullptr;
        for (const auto& source : sources)
            if (source->live() && (!first || compareIdentifiers(source->id(), first->id()) < 0))
                first = source.get();
        if (!first)
            return ReadOutcome::done();
        fields[0] = first->id();
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const Source& source = *sources[i];
            matched[i] = source.live() && (&source == first || compareIdentifiers(source.id(), first->id()) == 0);
            const std::size_t count = tables_[i].data->columns.size() - 1;
            for (std::size_t c = 0; c < count; ++c)
                fields[base[i] + c] = matched[i] ? source.fields()[c + 1] : std::string_view();
        }
        if (!onCase(fields))
            return ReadOutcome::stopped();
        for (std::size_t i = 0; i < sources.size(); ++i)
            if (matched[i] && !sources[i]->next() && sources[i]->failed())
                return sources[i]->error();
    }
}

} // namespace qavn
