// The kept tags and saved selections: their files, tied to one codebook by a
// fingerprint.

#include "selections/SelectionFile.h"

#include "catalogue/VariableList.h"
#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qavn {

namespace {

constexpr int formatVersion = 1;

std::string hex64(std::uint64_t value)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

template <typename T>
bool parseWhole(std::string_view text, T& value, int base = 10)
{
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

ReadError fileError(ReadError::Kind kind, const std::filesystem::path& path, std::string_view shownName,
                    std::uint64_t line, std::string reason)
{
    ReadError error;
    error.kind = kind;
    error.file = shownName;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    error.hostPath = (ec ? path : absolute).string();
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

// Line 1: "QAVN-TAGS 1 variables=N names=HEX".
bool parseHeader(std::string_view line, CodebookFingerprint& codebook, std::string& reason)
{
    std::vector<std::string_view> words;
    while (!(line = trimmed(line)).empty()) {
        std::size_t end = 0;
        while (end < line.size() && !isSpace(line[end]))
            ++end;
        words.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
    if (words.empty() || words[0] != savedTagsMagic) {
        reason = "not a file of saved tags (line 1 does not start with " + std::string(savedTagsMagic) + ")";
        return false;
    }
    int version = 0;
    if (words.size() < 2 || !parseWhole(words[1], version)) {
        reason = "the format version is missing";
        return false;
    }
    if (version != formatVersion) {
        reason = "format version " + std::string(words[1]) + " is not one this program reads (it reads " +
                 std::to_string(formatVersion) + ")";
        return false;
    }
    bool haveVariables = false;
    bool haveNames = false;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::string_view word = words[i];
        if (word.starts_with("variables="))
            haveVariables = parseWhole(word.substr(10), codebook.variables);
        else if (word.starts_with("names="))
            haveNames = word.size() == 6 + 16 && parseWhole(word.substr(6), codebook.names, 16);
    }
    if (!haveVariables || !haveNames) {
        reason = std::string("the codebook's ") + (haveVariables ? "names=" : "variables=") +
                 " field is missing or damaged";
        return false;
    }
    return true;
}

std::string quoted(std::string_view text)
{
    constexpr std::size_t shown = 40;
    std::string out = "'" + std::string(text.substr(0, shown)) + (text.size() > shown ? "...'" : "'");
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = '?';
    return out;
}

} // namespace

CodebookFingerprint CodebookFingerprint::of(const VariableList& list)
{
    // FNV-1a over each name (the row text's first 8 characters, blanks
    // trimmed) and a separator, so "AB","C" and "A","BC" differ.
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](unsigned char c) {
        hash ^= c;
        hash *= 1099511628211ull;
    };
    for (std::uint32_t r = 1; r <= list.rowCount(); ++r) {
        for (char c : trimmed(list.rowText(r).substr(0, 8)))
            mix(static_cast<unsigned char>(c));
        mix(0);
    }
    return CodebookFingerprint{list.rowCount(), hash};
}

std::string CodebookFingerprint::text() const
{
    return std::to_string(variables) + " variables, names " + hex64(names);
}

ReadResult<SavedTags> readSavedTags(const std::filesystem::path& path, std::string_view shownName,
                                    const CodebookFingerprint& expected)
{
    int errnum = 0;
    std::string why;
    FilePtr file = openRegularFile(path, errnum, why);
    if (!file)
        return fileError(ReadError::Kind::CannotOpen, path, shownName, 0, why);
    SavedTags saved;
    std::string line;
    std::uint64_t number = 0;
    bool header = false;
    const auto readLine = [&]() {
        line.clear();
        int c;
        bool any = false;
        while ((c = getc_unlocked(file.get())) != EOF) {
            any = true;
            if (c == '\n')
                break;
            // A line longer than any number is wrong whatever follows;
            // keep enough of it to quote.
            if (line.size() < 256)
                line.push_back(static_cast<char>(c));
        }
        return any;
    };
    while (readLine()) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!header) {
            std::string reason;
            if (!parseHeader(line, saved.codebook, reason))
                return fileError(ReadError::Kind::InvalidData, path, shownName, 1, reason);
            header = true;
            if (saved.codebook == expected)
                saved.tags.emplace(expected.variables);
            continue;
        }
        const std::string_view text = trimmed(line);
        if (text.empty())
            continue;
        std::uint64_t value = 0;
        if (!parseWhole(text, value))
            return fileError(ReadError::Kind::InvalidData, path, shownName, number,
                             "not a variable number: " + quoted(text));
        if (value < 1 || value > saved.codebook.variables)
            return fileError(ReadError::Kind::InvalidData, path, shownName, number,
                             "variable " + std::string(text) + " is outside 1.." +
                                 std::to_string(saved.codebook.variables) + ", the variables of its codebook");
        if (saved.tags)
            saved.tags->add(static_cast<std::uint32_t>(value));
    }
    if (std::ferror(file.get()))
        return fileError(ReadError::Kind::CannotRead, path, shownName, number + 1, std::strerror(errno));
    if (!header)
        return fileError(ReadError::Kind::Empty, path, shownName, 1, "the file is empty");
    return saved;
}

std::string writeSavedTags(const std::filesystem::path& path, const CodebookFingerprint& codebook, const TagSet& tags)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    const std::string shown = (ec ? path : absolute).string();
    FileTextOutput out;
    if (!out.openHost(path))
        return "cannot write " + shown + ": " + out.openError();
    out.print("%s %d variables=%u names=%s\n", std::string(savedTagsMagic).c_str(), formatVersion,
              static_cast<unsigned>(codebook.variables), hex64(codebook.names).c_str());
    for (std::uint32_t n : tags.numbers())
        out.print("%u\n", static_cast<unsigned>(n));
    const std::string reason = out.failed() ? out.errorText() : std::string();
    if (!out.close() || !reason.empty())
        return "cannot write " + shown + ": " + (reason.empty() ? out.errorText() : reason);
    return std::string();
}

std::filesystem::path keptTagsPath(std::string_view projectId)
{
    return std::filesystem::path(std::string(projectId) + "QAV.TAGS");
}

namespace {

// Moves a refused file of kept tags aside, so that the tags saved at the end
// of this run do not replace what it held; the note's tail says where.
std::string keptAside(const std::filesystem::path& path)
{
    std::filesystem::path old = path;
    old += ".old";
    std::error_code renameError;
    std::filesystem::rename(path, old, renameError);
    return renameError ? std::string() : "; kept as " + old.string();
}

// The kept tags of `path` for `codebook`: the tags, or nothing with `note`
// saying why (nothing said when there is no file). A refused file is moved
// aside; so is one that cannot be opened (a folder under the name) when
// `restoring`, while a save leaves that to fail on writing.
std::optional<TagSet> readKeptTags(const std::filesystem::path& path, const CodebookFingerprint& codebook,
                                   bool restoring, std::string& note)
{
    note.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return std::nullopt;
    const std::string what = restoring ? "Saved tags not restored: " : "Saved tags not merged: ";
    auto saved = readSavedTags(path, path.string(), codebook);
    if (!saved) {
        if (!restoring && saved.error().kind == ReadError::Kind::CannotOpen)
            return std::nullopt;
        note = what + describe(saved.error()) + keptAside(path);
        return std::nullopt;
    }
    if (!saved.value().tags) {
        note = "Saved tags in " + path.string() + " belong to another codebook (" + saved.value().codebook.text() +
               (restoring ? "); not restored" : "); not merged") + keptAside(path);
        return std::nullopt;
    }
    return std::move(saved.value().tags);
}

std::string restoredNote(const TagSet& tags)
{
    const std::uint32_t count = tags.count();
    if (count == 0)
        return std::string();
    return "Tags of the last session restored: " + std::to_string(count) +
           (count == 1 ? " variable" : " variables");
}

// An exclusive lock on the folder that holds `path` while it lives, so that
// two programs saving kept tags at once take turns. Without a folder that
// can be opened nothing is locked (the save then goes on unguarded).
class FolderLock {
public:
    explicit FolderLock(const std::filesystem::path& path)
    {
        const std::filesystem::path folder = path.parent_path();
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_); // releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace

std::string restoreKeptTags(std::string_view projectId, VariableList& list)
{
    return KeptTags(std::string(projectId)).restore(list);
}

std::string saveKeptTags(std::string_view projectId, const VariableList& list)
{
    // No tags and nothing kept from before: no file to leave behind.
    std::error_code ec;
    if (list.tagCount() == 0 && !std::filesystem::exists(keptTagsPath(projectId), ec) && !ec)
        return std::string();
    const std::string error = writeSavedTags(keptTagsPath(projectId), CodebookFingerprint::of(list), TagSet::of(list));
    return error.empty() ? error : "Tags not saved: " + error;
}

std::string KeptTags::restore(VariableList& list)
{
    // The codebook's fingerprint reads every name: only when there is a
    // file to check it against.
    const std::filesystem::path path = keptTagsPath(projectId_);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        file_.reset();
        seen_.reset();
        return std::string();
    }
    std::string note;
    file_ = readKeptTags(path, CodebookFingerprint::of(list), true, note);
    seen_ = file_;
    if (!file_)
        return note;
    file_->applyTo(list);
    return restoredNote(*file_);
}

std::string KeptTags::save(const VariableList& list)
{
    const std::filesystem::path path = keptTagsPath(projectId_);
    const FolderLock lock(path);
    const CodebookFingerprint codebook = CodebookFingerprint::of(list);
    const TagSet current = TagSet::of(list);

    // What the file holds now; another window may have saved since.
    std::string note;
    const std::optional<TagSet> now = readKeptTags(path, codebook, false, note);
    TagSet tags = current;
    if (now) {
        // This window's changes since it last read or wrote the file,
        // applied to the file as it is now: what another window saved stays.
        tags = *now;
        for (std::uint32_t n = 1; n <= codebook.variables; ++n) {
            const bool before = seen_ && seen_->contains(n);
            if (current.contains(n) && !before)
                tags.add(n);
            else if (!current.contains(n) && before)
                tags.remove(n);
        }
        if (!(file_ && *now == *file_))
            note = "Tags merged with those another window saved: " + std::to_string(tags.count()) +
                   (tags.count() == 1 ? " variable kept" : " variables kept");
    }

    std::error_code ec;
    if (!(tags.empty() && !std::filesystem::exists(path, ec) && !ec)) {
        const std::string error = writeSavedTags(path, codebook, tags);
        if (!error.empty())
            return "Tags not saved: " + error;
    }
    file_ = std::move(tags);
    seen_ = current;
    return note;
}

std::filesystem::path selectionFolder(std::string_view projectId)
{
    return std::filesystem::path(std::string(projectId) + "QAV.SEL");
}

std::string selectionNameProblem(std::string_view name)
{
    if (trimmed(name).empty())
        return "a selection needs a name";
    if (name.size() > maxSelectionName)
        return "a selection name has at most " + std::to_string(maxSelectionName) + " characters";
    if (name.front() == '.')
        return "a selection name does not start with a period";
    for (char c : name) {
        if (c == '/' || c == '\\')
            return "a selection name holds no / or \\";
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            return "a selection name holds no control characters";
    }
    return std::string();
}

std::filesystem::path selectionPath(std::string_view projectId, std::string_view name)
{
    return selectionFolder(projectId) / (std::string(name) + ".sel");
}

std::vector<std::string> selectionNames(std::string_view projectId)
{
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(selectionFolder(projectId), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::filesystem::path& path = it->path();
        if (path.extension() != ".sel" || !it->is_regular_file(ec))
            continue;
        std::string name = path.stem().string();
        if (selectionNameProblem(name).empty())
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string saveSelection(std::string_view projectId, std::string_view name, const CodebookFingerprint& codebook,
                          const TagSet& tags)
{
    if (std::string problem = selectionNameProblem(name); !problem.empty())
        return problem;
    std::error_code ec;
    const std::filesystem::path folder = selectionFolder(projectId);
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return "cannot make the folder " + folder.string() + ": " + ec.message();
    return writeSavedTags(selectionPath(projectId, name), codebook, tags);
}

ReadResult<TagSet> loadSelection(std::string_view projectId, std::string_view name,
                                 const CodebookFingerprint& codebook)
{
    const std::filesystem::path path = selectionPath(projectId, name);
    if (std::string problem = selectionNameProblem(name); !problem.empty())
        return fileError(ReadError::Kind::CannotOpen, path, path.string(), 0, problem);
    auto saved = readSavedTags(path, path.string(), codebook);
    if (!saved)
        return saved.error();
    if (!saved.value().tags)
        return fileError(ReadError::Kind::InvalidData, path, path.string(), 1,
                         "saved for another codebook (" + saved.value().codebook.text() + "); this project has " +
                             codebook.text());
    return std::move(*saved.value().tags);
}

} // namespace qavn
