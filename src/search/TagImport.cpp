// Reading tag files back into the tags, alone or two merged by AND or OR.

#include "search/TagImport.h"

#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"

#include <algorithm>
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

// One tag file line, judged as it is read: what the line means needs its
// number and, for a report, the first characters of its text, never the
// whole line, so a line of any length costs the same few bytes.
struct TagLine {
    static constexpr std::size_t shown = 40; // characters of a line a report quotes

    long value = 0;           // the line's value by the import rule
    bool whole = false;       // a whole number and nothing else once trimmed
    bool digits = false;      // it starts with a number once trimmed
    bool blank = true;        // nothing but white space
    std::string head;         // the first shown + 1 characters after the leading white space
    std::uint64_t length = 0; // characters of the trimmed text

    // Why the line is no whole number, or empty when it is one or blank.
    std::string problem() const
    {
        if (blank || whole)
            return std::string();
        std::string quoted = "'" + head.substr(0, std::min<std::uint64_t>(shown, length)) +
                             (length > shown ? "...'" : "'");
        return digits ? "text after the variable number: " + quoted : "no variable number: " + quoted;
    }
};

// Reads the next line of `file` into `line`; false at the end of the file
// (nothing read) or after a failed read.
bool readTagLine(std::FILE* file, TagLine& line)
{
    line = TagLine();
    enum class State { Lead, Sign, Digits, Trail, Other } state = State::Lead;
    bool any = false;
    bool negative = false;
    // The significant digits, enough for any value to saturate as the
    // import rule saturates it.
    constexpr std::size_t keptDigits = 24;
    std::string number;
    bool overflow = false;
    std::uint64_t position = 0; // of the next character after the leading white space
    int c;
    while ((c = std::getc(file)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        const char ch = static_cast<char>(c);
        const bool space = isSpace(ch);
        if (state == State::Lead && space)
            continue;
        if (line.head.size() <= TagLine::shown)
            line.head.push_back(ch);
        ++position;
        if (!space) {
            line.blank = false;
            line.length = position;
        }
        const bool digit = ch >= '0' && ch <= '9';
        switch (state) {
        case State::Lead:
            if (ch == '+' || ch == '-') {
                negative = ch == '-';
                state = State::Sign;
                break;
            }
            [[fallthrough]];
        case State::Sign:
        case State::Digits:
            if (digit) {
                state = State::Digits;
                line.digits = true;
                if (number.size() >= keptDigits)
                    overflow = true;
                else if (!number.empty() || ch != '0')
                    number.push_back(ch);
            } else {
                state = state == State::Digits && space ? State::Trail : State::Other;
            }
            break;
        case State::Trail:
            if (!space)
                state = State::Other;
            break;
        case State::Other:
            break;
        }
    }
    if (!any)
        return false;
    line.whole = state == State::Digits || state == State::Trail;
    if (overflow)
        number.assign(keptDigits, '9');
    line.value = leadingInteger<long>((negative ? "-" : "") + (number.empty() ? std::string("0") : number));
    return true;
}

// The lines of one open tag file, each checked as it is read: a line that
// holds no whole number, or a number that names no variable of `rows`, is
// noted in the report.
class TagFileLines {
public:
    TagFileLines(std::string_view path, FilePtr file, std::uint32_t rows, TagImportReport& report)
        : path_(path), file_(std::move(file)), rows_(rows), report_(report)
    {
    }

    // Reads the next line; at the end (or after a failed read) returns false
    // and ended() becomes true.
    bool next()
    {
        if (ended_ || !readTagLine(file_.get(), line_)) {
            ended_ = true;
            line_ = TagLine();
            if (!failed_ && std::ferror(file_.get())) {
                failed_ = true;
                note(ReadError::Kind::CannotRead, number_ + 1, std::strerror(errno));
            }
            return false;
        }
        ++number_;
        if (std::string problem = line_.problem(); !problem.empty())
            note(ReadError::Kind::InvalidData, number_, std::move(problem));
        else if (line_.whole && (line_.value < 1 || line_.value > static_cast<long>(rows_)))
            note(ReadError::Kind::InvalidData, number_,
                 "variable " + std::to_string(line_.value) + " is not in the project, which has variables 1 to " +
                     std::to_string(rows_));
        return true;
    }

    bool ended() const { return ended_; }
    long value() const { return line_.value; }

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
    std::uint32_t rows_;
    TagImportReport& report_;
    TagLine line_;
    std::uint64_t number_ = 0;
    bool ended_ = false;
    bool failed_ = false;
};

} // namespace

long tagFileValue(std::string_view line)
{
    return leadingInteger<long>(trimmed(line));
}

ReadResult<TagImportReport> readTagFile(std::string_view path, std::uint32_t rows, FunctionRef<void(long)> value)
{
    auto opened = openHostFileForReading(path);
    if (!opened)
        return opened.error();
    TagImportReport report;
    TagFileLines lines(path, std::move(opened).value(), rows, report);
    while (lines.next())
        value(lines.value());
    return report;
}

ReadResult<TagImportReport> importTagFile(std::string_view path, VariableList& list)
{
    return readTagFile(path, list.rowCount(), [&list](long v) { tagValue(list, v); });
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
    TagFileLines a(first, std::move(openedA).value(), list.rowCount(), report);
    TagFileLines b(second, std::move(openedB).value(), list.rowCount(), report);
    // A file with no more lines reads as 0 from then on.
    a.next();
    b.next();
    bool produced = false;
    for (;;) {
        const bool emptyA = a.ended();
        const bool emptyB = b.ended();
        if (emptyA && emptyB)
            break;
        if (combine == TagCombine::And && (emptyA || emptyB))
            break;
        const long va = a.value();
        const long vb = b.value();
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
