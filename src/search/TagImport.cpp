#include "search/TagImport.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>

namespace qavn {

namespace {

void tagValue(VariableList& list, long value)
{
    if (value >= 1 && value <= static_cast<long>(std::numeric_limits<std::uint32_t>::max()))
        list.tagRow(static_cast<std::uint32_t>(value));
}

// Why a line is not a whole number, or empty when it is one or blank.
std::string lineProblem(std::string_view line)
{
    const std::string_view text = trimmed(line);
    if (text.empty())
        return std::string();
    std::size_t end = (text.front() == '+' || text.front() == '-') ? 1 : 0;
    const std::size_t digitsStart = end;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9')
        ++end;
    if (end == text.size() && end > digitsStart)
        return std::string();
    constexpr std::size_t shown = 40;
    std::string quoted = "'" + std::string(text.substr(0, shown)) + (text.size() > shown ? "...'" : "'");
    return end > digitsStart ? "text after the variable number: " + quoted : "no variable number: " + quoted;
}

// The lines of one open tag file, each checked as it is read.
class TagFileLines {
public:
    TagFileLines(std::string_view path, FilePtr file, TagImportReport& report)
        : path_(path), file_(std::move(file)), report_(report)
    {
    }

    // Reads the next line into line(); at the end (or after a failed read)
    // returns false and leaves line() empty.
    bool next()
    {
        if (failed_ || !readWholeLine(file_.get(), line_)) {
            line_.clear();
            if (!failed_ && std::ferror(file_.get())) {
                failed_ = true;
                note(ReadError::Kind::CannotRead, number_ + 1, std::strerror(errno));
            }
            return false;
        }
        ++number_;
        if (std::string problem = lineProblem(line_); !problem.empty())
            note(ReadError::Kind::InvalidData, number_, std::move(problem));
        return true;
    }

    const std::string& line() const { return line_; }

private:
    void note(ReadError::Kind kind, std::uint64_t lineNumber, std::string reason)
    {
        ++report_.unreadableCount;
        if (report_.unreadableLines.size() >= TagImportReport::keptLines)
            return;
        if (hostPath_.empty())
            hostPath_ = toHostPath(path_).string();
        ReadError error;
        error.kind = kind;
        error.file = path_;
        error.hostPath = hostPath_;
        error.line = lineNumber;
        error.reason = std::move(reason);
        report_.unreadableLines.push_back(std::move(error));
    }

    std::string path_;
    std::string hostPath_;
    FilePtr file_;
    TagImportReport& report_;
    std::string line_;
    std::uint64_t number_ = 0;
    bool failed_ = false;
};

} // namespace

long tagFileValue(std::string_view line)
{
    return leadingInteger<long>(trimmed(line));
}

ReadResult<TagImportReport> importTagFile(std::string_view path, VariableList& list)
{
    auto opened = openHostFileForReading(path);
    if (!opened)
        return opened.error();
    TagImportReport report;
    TagFileLines lines(path, std::move(opened).value(), report);
    while (lines.next())
        tagValue(list, tagFileValue(lines.line()));
    return report;
}

ReadResult<TagImportReport> importTagFiles(std::string_view first, std::string_view second, TagCombine combine,
                                           VariableList& list)
{
    auto openedA = openHostFileForReading(first);
    if (!openedA)
        return openedA.error();
    auto openedB = openHostFileForReading(second);
    if (!openedB)
        return openedB.error();
    TagImportReport report;
    TagFileLines a(first, std::move(openedA).value(), report);
    TagFileLines b(second, std::move(openedB).value(), report);
    // A file with no more lines yields an empty line from then on.
    a.next();
    b.next();
    bool produced = false;
    for (;;) {
        const bool emptyA = a.line().empty();
        const bool emptyB = b.line().empty();
        if (emptyA && emptyB)
            break;
        if (combine == TagCombine::And && (emptyA || emptyB))
            break;
        const long va = tagFileValue(a.line());
        const long vb = tagFileValue(b.line());
        if (combine == TagCombine::Or) {
            tagValue(list, va);
            tagValue(list, vb);
            produced = true;
            a.next();
            b.next();
        } else if (va < vb) {
            a.next();
        } else if (va > vb) {
            b.next();
        } else {
            tagValue(list, va);
            produced = true;
            a.next();
            b.next();
        }
    }
    report.produced = produced;
    return report;
}

bool showTagImport(const ReadResult<TagImportReport>& result, bool twoFiles, Ui& ui)
{
    if (!result)
        ui.error("Cannot Open " + result.error().file + " !");
    const bool produced = result && result.value().produced;
    if (twoFiles && !produced)
        ui.error("No Tagged Item !");
    return twoFiles ? produced : result.ok();
}

bool importTagFile(std::string_view path, VariableList& list, Ui& ui)
{
    return showTagImport(importTagFile(path, list), false, ui);
}

bool importTagFiles(std::string_view first, std::string_view second, TagCombine combine, VariableList& list,
                    Ui& ui)
{
    return showTagImport(importTagFiles(first, second, combine, list), true, ui);
}

} // namespace qavn
