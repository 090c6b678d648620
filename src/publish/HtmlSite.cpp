// The codebook of the tagged variables as a static HTML site: its files, the
// temporary folder they are written in and the renames that publish them.

#include "publish/HtmlSite.h"

#include "catalogue/VariableList.h"
#include "codebook/CodebookStore.h"
#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "project/ProjectPaths.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "publish/CodebookEntries.h"
#include "publish/SiteAssets.h"
#include "publish/SiteIndex.h"
#include "writers/WriterContext.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace qavn {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view siteFolderName = "qavn";
constexpr std::string_view temporaryPrefix = ".qavn-site-";
// The first bytes of the site's script and the generator of its page: what
// marks a folder or page as one a site output wrote.
constexpr std::string_view scriptOpening = "/* The codebook site:";
constexpr std::string_view generatorMark = "<meta name=\"generator\" content=\"QAVN";

// The bytes a string of the site's scripts holds as they are: printable
// ASCII but the quote, the backslash and '<' (escaped too, so that no text
// ends the script element of index.html).
constexpr std::array<bool, 256> plainInScript = [] {
    std::array<bool, 256> plain{};
    for (int c = 0x20; c < 0x7F; ++c)
        plain[static_cast<std::size_t>(c)] = c != '"' && c != '\\' && c != '<';
    return plain;
}();

// An ASCII byte that is not plain in a script string, escaped: the quote and
// the backslash after a backslash, a line feed as \n, any other as \u00XX.
void appendScriptEscape(std::string& out, unsigned char c)
{
    if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c == '\n') {
        out += "\\n";
    } else {
        static constexpr char hex[] = "0123456789abcdef";
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
}

// UTF-8 text as a string of the site's scripts.
void appendScriptStringUtf8(std::string& out, std::string_view utf8)
{
    out += '"';
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || plainInScript[c])
            out += ch;
        else
            appendScriptEscape(out, c);
    }
    out += '"';
}

// Latin-1 text as a string of the site's scripts (UTF-8).
void appendScriptString(std::string& out, std::string_view latin1)
{
    out += '"';
    const char* p = latin1.data();
    const char* end = p + latin1.size();
    while (p < end) {
        const char* run = p;
        while (p < end && plainInScript[static_cast<unsigned char>(*p)])
            ++p;
        out.append(run, static_cast<std::size_t>(p - run));
        if (p == end)
            break;
        const auto c = static_cast<unsigned char>(*p++);
        if (c >= 0x80) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            appendScriptEscape(out, c);
        }
    }
    out += '"';
}

// `before`, the number, then `after` (each a single character, or none).
void appendNumber(std::string& out, char before, std::uint64_t n, char after)
{
    char text[24];
    std::size_t used = 0;
    if (before)
        text[used++] = before;
    used = static_cast<std::size_t>(std::to_chars(text + used, text + 22, n).ptr - text);
    if (after)
        text[used++] = after;
    out.append(text, used);
}

// Latin-1 text as HTML text or attribute value (UTF-8).
void appendHtml(std::string& out, std::string_view latin1)
{
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            if (c >= 0x80) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x20 || c == 0x7F) {
                out += ' ';
            } else {
                out += ch;
            }
        }
    }
}

std::string groupedNumber(std::uint64_t n)
{
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

bool processGone(const std::string& name)
{
    // ".qavn-site-PID-XXXXXX"
    const std::string_view rest = std::string_view(name).substr(temporaryPrefix.size());
    bool digits = false;
    const long pid = leadingInteger<long>(rest, &digits);
    return digits && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

bool startsWithFile(const fs::path& file, std::string_view opening, std::size_t within)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string head(within, '\0');
    const ssize_t got = ::read(fd, head.data(), head.size());
    ::close(fd);
    if (got <= 0)
        return false;
    head.resize(static_cast<std::size_t>(got));
    return head.find(opening) != std::string::npos;
}

// The site's files, written into a temporary folder inside the chosen one
// and given their places together at the end.
class SiteFolder {
public:
    SiteFolder() = default;
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;
    ~SiteFolder() { discard(); }

    // Makes the folder (when missing) and the temporary folder in it.
    bool begin(const fs::path& target, std::string& reason)
    {
        target_ = target;
        std::error_code ec;
        if (!fs::exists(target, ec)) {
            if (!fs::create_directories(target, ec)) {
                reason = ec ? ec.message() : "the folder could not be made";
                return false;
            }
            createdTarget_ = true;
        }
        removeStaleTemporaries();
        std::string pattern =
            (target / (std::string(temporaryPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) {
            reason = std::strerror(errno);
            return false;
        }
        temporary_ = pattern;
        for (const char* sub : {"qavn", "qavn/list", "qavn/var", "qavn/outline", "qavn/index"}) {
            if (::mkdir((temporary_ / sub).c_str(), 0777) != 0) {
                reason = std::strerror(errno);
                return false;
            }
        }
        return true;
    }

    // Writes one file of the site ("qavn/list/3.js"). False once any write
    // failed; failedFile() and reason() then say which and why.
    bool write(const std::string& relative, std::string_view bytes)
    {
        if (failed_)
            return false;
        ++writes_;
        const fs::path path = temporary_ / relative;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0)
            return fail(relative, std::strerror(errno));
        if (failFrom_ != 0 && writes_ >= failFrom_) {
            ::close(fd);
            return fail(relative, std::strerror(ENOSPC));
        }
        const char* data = bytes.data();
        std::size_t left = bytes.size();
        while (left > 0) {
            const ssize_t put = ::write(fd, data, left);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0) {
                const int error = put < 0 ? errno : ENOSPC;
                ::close(fd);
                return fail(relative, std::strerror(error));
            }
            data += put;
            left -= static_cast<std::size_t>(put);
        }
        if (::close(fd) != 0)
            return fail(relative, std::strerror(errno));
        written_.push_back(relative);
        return true;
    }

    bool failed() const { return failed_; }
    const std::string& failedFile() const { return failedFile_; }
    const std::string& reason() const { return reason_; }
    void failFromWrite(std::size_t n) { failFrom_ = n; }

    // Puts the site in its place: everything written reaches the disk, the
    // earlier `qavn` folder steps aside, the new one and index.html take
    // their names, and the earlier folder is removed. On a failure the
    // folder is put back as it was as far as the system allows.
    bool commit(std::string& reason)
    {
        // Every file and folder of the site reaches the disk before any name
        // changes: the bytes of all files are sent, then waited for, then
        // one sync of each folder commits the new files' records (one sync
        // per file would commit the file system's journal thousands of
        // times; a sync of the whole file system would wait for every other
        // program's writes too).
        auto sync = [&](const fs::path& path, int how) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | (how == 0 ? O_DIRECTORY : 0));
            const bool synced = fd >= 0 && (how == 0 ? ::fsync(fd) : ::sync_file_range(fd, 0, 0, how)) == 0;
            if (!synced)
                reason = path.string() + ": " + std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            return synced;
        };
        for (const int how : {SYNC_FILE_RANGE_WRITE,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER})
            for (const std::string& relative : written_)
                if (!sync(temporary_ / relative, how))
                    return false;
        for (const char* sub : {"qavn/list", "qavn/var", "qavn/outline", "qavn/index", "qavn", "."})
            if (!sync(temporary_ / sub, 0))
                return false;
        const fs::path site = target_ / siteFolderName;
        const fs::path aside = temporary_ / "earlier";
        std::error_code ec;
        const bool hadSite = fs::exists(fs::symlink_status(site, ec));
        if (hadSite && std::rename(site.c_str(), aside.c_str()) != 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (std::rename((temporary_ / siteFolderName).c_str(), site.c_str()) != 0) {
            reason = std::strerror(errno);
            if (hadSite)
                std::rename(aside.c_str(), site.c_str());
            return false;
        }
        if (std::rename((temporary_ / "index.html").c_str(), (target_ / "index.html").c_str()) != 0) {
            reason = std::strerror(errno);
            std::rename(site.c_str(), (temporary_ / siteFolderName).c_str());
            if (hadSite)
                std::rename(aside.c_str(), site.c_str());
            return false;
        }
        fs::remove_all(temporary_, ec);
        temporary_.clear();
        const int folder = ::open(target_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return true;
    }

    // Removes the temporary folder (and the chosen folder when this run
    // made it and nothing else is in it).
    void discard()
    {
        std::error_code ec;
        if (!temporary_.empty())
            fs::remove_all(temporary_, ec);
        temporary_.clear();
        if (createdTarget_)
            fs::remove(target_, ec); // only when empty
        createdTarget_ = false;
    }

private:
    bool fail(const std::string& relative, std::string reason)
    {
        failed_ = true;
        failedFile_ = relative;
        reason_ = std::move(reason);
        return false;
    }

    // Temporary folders of runs whose process is gone (killed mid-run).
    void removeStaleTemporaries()
    {
        std::error_code ec;
        for (const fs::directory_entry& entry : fs::directory_iterator(target_, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(temporaryPrefix, 0) == 0 && processGone(name))
                fs::remove_all(entry.path(), ec);
        }
    }

    fs::path target_;
    fs::path temporary_;
    bool createdTarget_ = false;
    bool failed_ = false;
    std::string failedFile_;
    std::string reason_;
    std::size_t writes_ = 0;
    std::size_t failFrom_ = 0;
    std::vector<std::string> written_;
};

// The words of the variables reach the index on a thread of their own, a
// batch of variables at a time, while the writer's thread reads the codebook
// and writes the files.
class IndexFeeder {
public:
    explicit IndexFeeder(SiteIndex& index) : index_(index), worker_([this] { work(); }) {}
    ~IndexFeeder() { finish(); }
    IndexFeeder(const IndexFeeder&) = delete;
    IndexFeeder& operator=(const IndexFeeder&) = delete;

    void add(std::uint32_t position, std::uint8_t field, std::string_view text)
    {
        if (text.empty())
            return;
        if (batch_.text.capacity() < batchBytes + 4096) {
            batch_.text.reserve(batchBytes + 65536);
            batch_.items.reserve(batchBytes / 16);
        }
        batch_.items.push_back({position, field, batch_.text.size(), text.size()});
        batch_.text += text;
    }
    // Hands the batch over once it is large enough.
    void endVariable()
    {
        if (batch_.text.size() >= batchBytes)
            send();
    }
    // Waits until every word handed over is in the index.
    void finish()
    {
        if (!worker_.joinable())
            return;
        send();
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        ready_.notify_all();
        worker_.join();
    }

private:
    static constexpr std::size_t batchBytes = 1 << 20;

    struct Item {
        std::uint32_t position;
        std::uint8_t field;
        std::size_t offset;
        std::size_t length;
    };
    struct Batch {
        std::vector<Item> items;
        std::string text;
    };

    void send()
    {
        if (batch_.items.empty())
            return;
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [&] { return queue_.size() < 4; });
        queue_.push_back(std::move(batch_));
        batch_ = Batch();
        lock.unlock();
        ready_.notify_one();
    }
    void work()
    {
        for (;;) {
            Batch batch;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [&] { return !queue_.empty() || done_; });
                if (queue_.empty())
                    return;
                batch = std::move(queue_.front());
                queue_.pop_front();
            }
            room_.notify_one();
            const std::string_view text = batch.text;
            for (const Item& item : batch.items)
                index_.add(item.position, item.field, text.substr(item.offset, item.length));
        }
    }

    SiteIndex& index_;
    Batch batch_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable room_;
    std::deque<Batch> queue_;
    bool done_ = false;
    std::thread worker_; // last: it starts once everything above is ready
};

// One file of data, built in memory and written when full:
// "QAVN.<call>(<k>,[<item>,\n<item>...]);".
struct DataFile {
    DataFile(const char* folderName, const char* callName) : folder(folderName), call(callName) {}

    const char* folder;
    const char* call;
    std::string text;
    std::uint32_t count = 0;
    std::uint32_t k = 0;

    // The text to append the next item to: the file's opening before the
    // first, a separator before the others.
    std::string& next(std::uint32_t fileNumber)
    {
        if (count == 0) {
            k = fileNumber;
            text.reserve(1 << 18);
            text = "QAVN.";
            text += call;
            text += '(' + std::to_string(k) + ",[\n";
        } else {
            text += ",\n";
        }
        ++count;
        return text;
    }
    std::string name() const { return "qavn/" + std::string(folder) + "/" + std::to_string(k) + ".js"; }
};

class SiteWriter {
public:
    SiteWriter(const WriterServices& services, Progress& progress, SiteFolder& folder)
        : services_(services), progress_(progress), folder_(folder), metadata_(readPublishedMetadata(services)),
          reader_(services, metadata_ ? &*metadata_ : nullptr)
    {
    }

    // Stopped on a Cancel or an unreadable record; false from write failures
    // (the folder says which).
    enum class Outcome { Done, Stopped, Failed };
    Outcome run(const std::vector<std::uint32_t>& tagged);

private:
    void addList(std::uint32_t position, const VariableEntry& entry);
    void addEntry(std::uint32_t position, const VariableEntry& entry);
    void addWords(std::uint32_t position, const VariableEntry& entry);
    void appendMetadata(std::string& out, const VariableEntry& entry);
    void endSection();
    bool flush(DataFile& file);
    bool writeIndex();
    bool writeFiles();
    bool writePage();
    void step(std::uint64_t done, std::uint64_t total, long span);

    const WriterServices& services_;
    Progress& progress_;
    SiteFolder& folder_;
    std::optional<ProjectMetadata> metadata_;
    EntryReader reader_;
    SiteIndex index_;
    IndexFeeder feeder_{index_};
    std::vector<PositionList> files_; // by data file number
    DataFile list_{"list", "list"};
    DataFile vars_{"var", "vars"};
    DataFile outline_{"outline", "outline"};
    std::uint32_t variables_ = 0;
    std::uint32_t sections_ = 0;
    std::int64_t descriptionHolder_ = -1; // index in the description file of the text last written
    std::string sectionTitle_;
    std::uint32_t sectionFirst_ = 0;
    std::uint32_t sectionCount_ = 0;
    long shown_ = 0;
};

void SiteWriter::step(std::uint64_t done, std::uint64_t total, long span)
{
    const long target = total == 0 ? span : static_cast<long>(done * static_cast<std::uint64_t>(span) / total);
    if (target > shown_) {
        progress_.advance(target - shown_);
        shown_ = target;
    }
}

void SiteWriter::addList(std::uint32_t position, const VariableEntry& entry)
{
    std::string& out = list_.next(position / siteListSize);
    out += '[';
    appendScriptString(out, entry.name);
    out += ',';
    appendScriptString(out, entry.label);
    appendNumber(out, ',', entry.section, ',');
    appendNumber(out, 0, entry.file, ',');
    appendNumber(out, 0, entry.line, ',');
    appendScriptString(out, std::string_view(&entry.typeCode, 1));
    out += ',';
    appendScriptString(out, entry.location);
    if (entry.startsSection || position % siteListSize == 0) {
        out += ',';
        appendScriptString(out, entry.sectionTitle);
    }
    out += ']';
}

void SiteWriter::addEntry(std::uint32_t position, const VariableEntry& entry)
{
    const std::uint32_t at = vars_.count;
    if (at == 0)
        descriptionHolder_ = -1;
    std::string& out = vars_.next(position / siteVarSize);
    appendNumber(out, '[', entry.number, ',');
    appendScriptString(out, entry.name);
    out += ',';
    appendScriptString(out, entry.label);
    appendNumber(out, ',', entry.section, ',');
    appendNumber(out, 0, entry.file, ',');
    appendNumber(out, 0, entry.line, ',');
    appendScriptString(out, entry.location);
    out += ',';
    appendScriptString(out, std::string_view(&entry.typeCode, 1));
    out += ',';
    if (entry.sharesDescription && descriptionHolder_ >= 0) {
        appendNumber(out, 0, static_cast<std::uint64_t>(descriptionHolder_), 0);
    } else {
        appendScriptString(out, entry.description);
        descriptionHolder_ = at;
    }
    out += ",[";
    for (std::size_t c = 0; c < entry.categoryCount; ++c) {
        const CategoryEntry& category = entry.categories[c];
        if (c > 0)
            out += ',';
        out += '[';
        appendScriptString(out, category.code);
        out += ',';
        appendScriptString(out, category.frequency);
        out += ',';
        appendScriptString(out, category.percent);
        out += ',';
        appendScriptString(out, category.label);
        out += category.missing ? ",1]" : ",0]";
    }
    out += "],";
    appendMetadata(out, entry);
    if (entry.startsSection || position % siteVarSize == 0) {
        out += ',';
        appendScriptString(out, entry.sectionTitle);
    }
    out += ']';
}

// What the metadata file adds to an entry, as an object of the fields it
// has ("long", "label", "format", "missing"); 0 when it adds nothing.
void SiteWriter::appendMetadata(std::string& out, const VariableEntry& entry)
{
    const VariableMetadata* meta = entry.metadata;
    const std::size_t start = out.size();
    out += '{';
    auto field = [&](const char* key) {
        if (out.size() > start + 1)
            out += ',';
        out += '"';
        out += key;
        out += "\":";
    };
    if (meta && !meta->longName.empty() && meta->longName != entry.name) {
        field("long");
        appendScriptStringUtf8(out, meta->longName);
    }
    if (meta && !meta->label.empty() && utf8AsLatin1(meta->label) != entry.label) {
        field("label");
        appendScriptStringUtf8(out, meta->label);
    }
    if (meta && !meta->format.text.empty()) {
        field("format");
        appendScriptStringUtf8(out, meta->format.text);
    }
    if (meta && !meta->missing.empty()) {
        field("missing");
        out += '[';
        bool first = true;
        for (const std::string& text : declaredMissingTexts(*meta)) {
            if (!first)
                out += ',';
            first = false;
            appendScriptStringUtf8(out, text);
        }
        out += ']';
    }
    if (out.size() == start + 1) {
        out.back() = '0';
        return;
    }
    out += '}';
}

void SiteWriter::addWords(std::uint32_t position, const VariableEntry& entry)
{
    if (const VariableMetadata* meta = entry.metadata) {
        if (!meta->longName.empty())
            feeder_.add(position, SiteIndex::nameField, utf8AsLatin1(meta->longName));
        if (!meta->label.empty())
            feeder_.add(position, SiteIndex::labelField, utf8AsLatin1(meta->label));
    }
    feeder_.add(position, SiteIndex::nameField, entry.name);
    feeder_.add(position, SiteIndex::labelField, entry.label);
    feeder_.add(position, SiteIndex::descriptionField, entry.description);
    for (std::size_t c = 0; c < entry.categoryCount; ++c) {
        const CategoryEntry& category = entry.categories[c];
        feeder_.add(position, SiteIndex::categoryField, category.code);
        feeder_.add(position, SiteIndex::categoryField, category.frequency);
        feeder_.add(position, SiteIndex::categoryField, category.percent);
        feeder_.add(position, SiteIndex::categoryField, category.label);
    }
    feeder_.endVariable();
    if (files_.size() <= entry.file)
        files_.resize(entry.file + 1u);
    files_[entry.file].add(position, 1);
}

void SiteWriter::endSection()
{
    if (sectionCount_ == 0)
        return;
    std::string& out = outline_.next(sections_ / siteOutlineSize);
    out += '[';
    appendScriptString(out, sectionTitle_);
    out += ',' + std::to_string(sectionFirst_) + ',' + std::to_string(sectionCount_) + ']';
    ++sections_;
    sectionCount_ = 0;
}

bool SiteWriter::flush(DataFile& file)
{
    file.text += "]);\n";
    file.count = 0;
    return folder_.write(file.name(), file.text);
}

SiteWriter::Outcome SiteWriter::run(const std::vector<std::uint32_t>& tagged)
{
    const std::size_t total = tagged.size();
    index_.reserve(total + total / 4 + 4096);
    VariableEntry entry;
    for (std::uint32_t position = 0; position < total; ++position) {
        if ((position & 255) == 0) {
            step(position, total, 250);
            if (!pollProgress(services_.ui, progress_))
                return Outcome::Stopped;
        }
        if (!reader_.read(tagged[position], entry))
            return Outcome::Stopped;
        if (entry.startsSection) {
            endSection();
            sectionTitle_ = entry.sectionTitle;
            sectionFirst_ = position;
            if (outline_.count == siteOutlineSize && !flush(outline_))
                return Outcome::Failed;
        }
        ++sectionCount_;
        addList(position, entry);
        addEntry(position, entry);
        addWords(position, entry);
        ++variables_;
        if (list_.count == siteListSize && !flush(list_))
            return Outcome::Failed;
        if (vars_.count == siteVarSize && !flush(vars_))
            return Outcome::Failed;
    }
    endSection();
    if ((list_.count > 0 && !flush(list_)) || (vars_.count > 0 && !flush(vars_)) ||
        (outline_.count > 0 && !flush(outline_)))
        return Outcome::Failed;
    step(total, total, 250);
    if (!pollProgress(services_.ui, progress_))
        return Outcome::Stopped;
    if (!writeIndex())
        return folder_.failed() ? Outcome::Failed : Outcome::Stopped;
    step(1, 1, 290);
    if (!writeFiles() || !writePage())
        return Outcome::Failed;
    return Outcome::Done;
}

bool SiteWriter::writeIndex()
{
    feeder_.finish();
    index_.finish();
    const std::vector<SiteIndex::Shard> shards = index_.shards(siteShardBytes);
    std::string keys = "QAVN.keys([";
    std::string text;
    for (std::size_t k = 0; k < shards.size(); ++k) {
        if (k > 0)
            keys += ',';
        appendScriptString(keys, shards[k].first);
        text = "QAVN.shard(" + std::to_string(k) + ",[\n";
        bool first = true;
        for (const std::uint32_t id : shards[k].words) {
            if (!first)
                text += ",\n";
            first = false;
            appendScriptString(text, index_.word(id));
            text += ",\"";
            text += index_.positions(id);
            text += '"';
        }
        text += "]);\n";
        if (!folder_.write("qavn/index/" + std::to_string(k) + ".js", text))
            return false;
        if ((k & 63) == 63 && !pollProgress(services_.ui, progress_))
            return false;
    }
    keys += "]);\n";
    return folder_.write("qavn/keys.js", keys);
}

bool SiteWriter::writeFiles()
{
    std::string text = "QAVN.files([";
    bool first = true;
    for (std::size_t f = 0; f < files_.size(); ++f) {
        files_[f].finish();
        if (files_[f].text().empty())
            continue;
        if (!first)
            text += ',';
        first = false;
        text += "[" + std::to_string(f) + ",\"" + files_[f].text() + "\"]";
    }
    text += "]);\n";
    return folder_.write("qavn/files.js", text) && folder_.write("qavn/site.js", siteScript) &&
           folder_.write("qavn/site.css", siteStyle);
}

constexpr std::string_view queryHelp = R"(<details id="query-help">
<summary>How to search</summary>
<table>
<caption class="visually-hidden">The search language</caption>
<thead><tr><th scope="col">Write</th><th scope="col">to find</th></tr></thead>
<tbody>
<tr><td><code>income</code></td><td>the whole word in the name, label, description or category lines</td></tr>
<tr><td><code>inc*</code>, <code>wag?</code></td><td><code>*</code> any run of letters or digits, <code>?</code> one</td></tr>
<tr><td><code>"total income"</code></td><td>the phrase, within one line</td></tr>
<tr><td><code>/smok(ed|ing) \d+/</code></td><td>a regular expression, line by line</td></tr>
<tr><td><code>name:</code> <code>label:</code> <code>desc:</code> <code>cat:</code></td><td>the term in that field only</td></tr>
<tr><td><code>section:3</code>, <code>section:health</code></td><td>the variables of a section, by number or title</td></tr>
<tr><td><code>file:2</code>, <code>file:youth*</code></td><td>the variables of a data file, by number or name</td></tr>
<tr><td><code>a b</code>, <code>a OR b</code>, <code>NOT a</code>, <code>( )</code></td><td>both, either, not; letter case never matters</td></tr>
</tbody>
</table>
<p>The search is kept in the address (<code>?q=</code>): copy it to share the list.</p>
</details>
)";

bool SiteWriter::writePage()
{
    const ProjectSpec& project = services_.project;
    std::string title(trimmed(project.dataSetTitle));
    if (title.empty())
        title = project.filePrefix;

    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += std::string(generatorMark) + " " QAVN_VERSION "\">\n<title>";
    appendHtml(page, title);
    page += " \xE2\x80\x93 codebook</title>\n<link rel=\"stylesheet\" href=\"qavn/site.css\">\n</head>\n<body>\n"
            "<a class=\"skip\" href=\"#main\">Skip to the variables</a>\n<header class=\"top\">\n<h1>";
    appendHtml(page, title);
    page += "</h1>\n<p class=\"facts-line\">" + groupedNumber(variables_) +
            (variables_ == 1 ? " variable" : " variables") + " in " + groupedNumber(sections_) +
            (sections_ == 1 ? " section" : " sections") + " \xC2\xB7 project ";
    appendHtml(page, project.filePrefix);
    page += "</p>\n<form id=\"search\" role=\"search\" method=\"get\">\n"
            "<label for=\"q\">Search the variables</label>\n"
            "<input type=\"search\" id=\"q\" name=\"q\" autocomplete=\"off\" spellcheck=\"false\" "
            "aria-describedby=\"query-error\">\n<button type=\"submit\">Search</button>\n"
            "<p id=\"query-error\" role=\"alert\"></p>\n";
    page += queryHelp;
    page += "</form>\n</header>\n<div class=\"layout\">\n"
            "<nav id=\"outline\" aria-labelledby=\"outline-title\">\n<h2 id=\"outline-title\">Sections</h2>\n"
            "<ol id=\"sections\"></ol>\n<p id=\"outline-more\"></p>\n</nav>\n"
            "<main id=\"main\" tabindex=\"-1\">\n<p id=\"status\" role=\"status\"></p>\n<div id=\"view\">\n"
            "<noscript><p>This codebook lists and searches its variables with JavaScript; please allow "
            "scripts for this page.</p></noscript>\n</div>\n</main>\n</div>\n"
            "<script src=\"qavn/site.js\"></script>\n<script>QAVN.start({\"title\":";
    appendScriptString(page, title);
    page += ",\"project\":";
    appendScriptString(page, project.filePrefix);
    page += ",\"variables\":" + std::to_string(variables_) + ",\"sections\":" + std::to_string(sections_) +
            ",\"listSize\":" + std::to_string(siteListSize) + ",\"varSize\":" + std::to_string(siteVarSize) +
            ",\"outlineSize\":" + std::to_string(siteOutlineSize) + ",\"files\":[";
    for (std::size_t f = 0; f < project.dataFiles.size(); ++f) {
        const DataFileEntry& file = project.dataFiles[f];
        page += f == 0 ? "[" : ",[";
        appendScriptString(page, file.dataPath);
        page += "," + std::to_string(file.linesPerCase) + ",";
        appendScriptString(page, file.fileTitle);
        page += "]";
    }
    page += "]});</script>\n</body>\n</html>\n";
    return folder_.write("index.html", page);
}

// The name of a file of the site as the user gave the folder.
std::string nameInFolder(std::string_view folder, std::string_view file)
{
    const char separator = folder.find('/') == std::string_view::npos && folder.find('\\') != std::string_view::npos
                               ? '\\'
                               : '/';
    std::string name(folder);
    if (!name.empty() && name.back() != '/' && name.back() != '\\')
        name += separator;
    for (const char c : file)
        name += c == '/' ? separator : c;
    return name;
}

} // namespace

OutputResult writeHtmlSite(const WriterServices& services, const SiteRequest& request, Progress& progress)
{
    OutputResult result;
    Ui& ui = services.ui;
    progress.setRange(writingProgressRange);
    const std::string folderName(trimmed(request.path));
    result.fileName = nameInFolder(folderName, "index.html");
    if (folderName.empty()) {
        ui.error("Cannot Open the site's folder\nName a folder for the site.");
        return result;
    }
    if (hasControlCharacter(folderName)) {
        ui.error("Cannot Open " + folderName + "\nThe name holds a control character.");
        return result;
    }
    const fs::path host = chosenHostPath(folderName);
    std::error_code ec;
    if (fs::exists(host, ec) && !fs::is_directory(host, ec)) {
        ui.error("Cannot Open " + folderName + "\n" + folderName + " is a file; the site needs a folder.");
        return result;
    }

    // Nothing the project reads may lie where the site goes.
    const std::vector<ProtectedFile> inputs = projectInputs(services.project, services.settings, services.projectId);
    const fs::path page = host / "index.html";
    const fs::path site = host / siteFolderName;
    const fs::path siteReal = fs::weakly_canonical(site, ec);
    for (const ProtectedFile& input : inputs) {
        const fs::path inputReal = fs::weakly_canonical(input.hostPath, ec);
        const auto [end, rest] = std::mismatch(siteReal.begin(), siteReal.end(), inputReal.begin(), inputReal.end());
        if (protectedFileAt(page, {input}) || (end == siteReal.end() && !siteReal.empty())) {
            ui.error(folderName + " holds the project file " + input.name +
                     " where the site goes.\nAn output never replaces a file the project reads; choose another "
                     "folder.");
            return result;
        }
    }
    if (fs::exists(page, ec) && !startsWithFile(page, generatorMark, 4096) &&
        !ui.askYesNoDefaultNo(result.fileName + " already exists and is no codebook site.\nDo you want to replace it?")) {
        result.status = OutputStatus::Stopped;
        return result;
    }
    if (fs::exists(fs::symlink_status(site, ec)) && !startsWithFile(site / "site.js", scriptOpening, 64) &&
        !ui.askYesNoDefaultNo(nameInFolder(folderName, "qavn") +
                              " already exists and is no folder of a codebook site.\nDo you want to replace it?")) {
        result.status = OutputStatus::Stopped;
        return result;
    }

    const std::vector<std::uint32_t> tagged = services.list.taggedRows();
    SiteFolder folder;
    folder.failFromWrite(request.failFromWrite);
    std::string reason;
    if (!folder.begin(host, reason)) {
        ui.error("Cannot Open " + folderName, fileDetail(host, reason));
        return result;
    }
    SiteWriter writer(services, progress, folder);
    const SiteWriter::Outcome outcome = writer.run(tagged);
    if (outcome == SiteWriter::Outcome::Failed) {
        ui.error("Cannot Write " + nameInFolder(folderName, folder.failedFile()) + " !\n" + folder.reason());
        folder.discard();
        return result;
    }
    if (outcome == SiteWriter::Outcome::Stopped) {
        progress.requestCancel();
        folder.discard();
        result.status = OutputStatus::Stopped;
        return result;
    }
    if (!folder.commit(reason)) {
        ui.error("Cannot Write " + result.fileName + " !\n" + reason);
        folder.discard();
        return result;
    }
    progress.advance(writingProgressRange);
    result.status = OutputStatus::Written;
    result.generatedHostFiles.push_back(page.string());
    return result;
}

} // namespace qavn
