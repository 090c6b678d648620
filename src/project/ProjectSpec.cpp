// The project specification file (QAVSPEC): title, prefix, data files, header
// lines.

#include "project/ProjectSpec.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/Strings.h"
#include "platform/Ui.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

namespace qavn {

namespace {

constexpr std::string_view invalidData = "QAVSPEC File Has Invalid Data !\nCannot Run QAVN.";

// "%d %s %s": an integer, then two words separated by white space.
bool parseDataFileLine(std::string_view line, DataFileEntry& entry)
{
    bool digits = false;
    std::size_t i = 0;
    while (i < line.size() && isSpace(line[i]))
        ++i;
    std::size_t numberEnd = i;
    if (numberEnd < line.size() && (line[numberEnd] == '+' || line[numberEnd] == '-'))
        ++numberEnd;
    while (numberEnd < line.size() && line[numberEnd] >= '0' && line[numberEnd] <= '9')
        ++numberEnd;
    entry.linesPerCase = leadingInteger<std::int32_t>(line.substr(i, numberEnd - i), &digits);
    if (!digits)
        return false;
    std::string_view rest = line.substr(numberEnd);
    std::string_view words[2];
    for (auto& word : words) {
        std::size_t b = 0;
        while (b < rest.size() && isSpace(rest[b]))
            ++b;
        std::size_t e = b;
        while (e < rest.size() && !isSpace(rest[e]))
            ++e;
        if (e == b)
            return false;
        word = rest.substr(b, e - b);
        rest.remove_prefix(e);
    }
    entry.idLocation = std::string(words[0]);
    entry.dataPath = std::string(words[1]);
    return true;
}

std::size_t fieldCount(std::string_view line)
{
    std::size_t fields = 0;
    bool inField = false;
    for (const char c : line) {
        if (isSpace(c))
            inField = false;
        else if (!inField) {
            inField = true;
            ++fields;
        }
    }
    return fields;
}

// Why a data file line is refused; empty when `entry` holds it.
std::string dataFileLineProblem(std::string_view line, DataFileEntry& entry)
{
    if (!parseDataFileLine(line, entry)) {
        const std::size_t fields = fieldCount(line);
        if (fields >= 3) {
            const std::string_view text = trimmed(line);
            return "lines per case '" + std::string(text.substr(0, text.find_first_of(" \t\v\f"))) +
                   "' is not a number";
        }
        return "data-file line has " + std::to_string(fields) + (fields == 1 ? " field" : " fields") + ", 3 needed";
    }
    if (entry.linesPerCase < 1)
        return "lines per case is " + std::to_string(entry.linesPerCase) + ", at least 1 needed";
    if (entry.linesPerCase > ProjectSpec::maxLinesPerCase)
        return "lines per case is " + std::to_string(entry.linesPerCase) + ", at most " +
               std::to_string(ProjectSpec::maxLinesPerCase);
    if (entry.idLocation.size() > ProjectSpec::maxIdLocation)
        return "identifier location has " + std::to_string(entry.idLocation.size()) + " characters, at most " +
               std::to_string(ProjectSpec::maxIdLocation);
    if (entry.dataPath.size() > ProjectSpec::maxDataPath)
        return "data path has " + std::to_string(entry.dataPath.size()) + " characters, at most " +
               std::to_string(ProjectSpec::maxDataPath);
    // A control byte (a NUL above all) would cut or bend the file names built
    // from the path: no real data path holds one.
    for (std::size_t i = 0; i < entry.dataPath.size(); ++i) {
        const auto c = static_cast<unsigned char>(entry.dataPath[i]);
        if (c < 0x20 || c == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", c);
            return "data path holds the control byte " + std::string(code) + " at character " +
                   std::to_string(i + 1);
        }
    }
    return std::string();
}

} // namespace

std::string fileTitleOf(std::string_view dataPath)
{
    const std::size_t slash = dataPath.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? dataPath : dataPath.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

std::string dataPathName(std::string_view dataPath)
{
    std::string base(dataPath.substr(0, dataPath.find('.')));
    for (char& c : base)
        if (c == '/' || c == '\\' || c == ':')
            c = '_';
    return base;
}

ReadResult<ProjectSpec> readProjectSpecFile(std::string_view resourceDir, std::string_view filePrefix)
{
    const std::string path = std::string(resourceDir) + "\\QAVSPEC." + std::string(filePrefix);
    auto opened = openHostFileForReading(path);
    if (!opened)
        return opened.error();
    FilePtr file = std::move(opened).value();

    std::uint64_t lineNumber = 0;
    auto failure = [&](ReadError::Kind kind, std::string reason) {
        ReadError error;
        error.kind = kind;
        error.file = path;
        error.hostPath = toHostPath(path).string();
        error.line = lineNumber;
        error.reason = std::move(reason);
        return error;
    };

    // A line too long for the reader's buffer would arrive in pieces and be
    // read as several items; such a file is refused instead.
    LineReader reader(file.get(), ProjectSpec::lineBuffer);
    std::string line;
    enum class Next { Line, End, Long, Failed };
    auto next = [&] {
        ++lineNumber;
        if (!reader.next(line))
            return std::ferror(file.get()) ? Next::Failed : Next::End;
        return reader.lastWasWhole() ? Next::Line : Next::Long;
    };
    // The failure for a line that did not arrive whole; `expected` names
    // what the file ends before.
    auto lineFailure = [&](Next n, const std::string& expected) {
        if (n == Next::Failed)
            return failure(ReadError::Kind::CannotRead, std::strerror(errno));
        if (n == Next::Long)
            return failure(ReadError::Kind::InvalidData,
                           "line longer than " + std::to_string(ProjectSpec::lineBuffer - 2) + " characters");
        return failure(ReadError::Kind::InvalidData, "the file ends before " + expected);
    };

    std::string first[3];
    const char* const firstNames[3] = {"the data set title", "the file prefix", "the data file count"};
    for (int i = 0; i < 3; ++i) {
        if (const Next n = next(); n != Next::Line)
            return lineFailure(n, firstNames[i]);
        first[i] = line;
    }
    ProjectSpec spec;
    spec.dataSetTitle = std::string(trimmed(first[0]));
    spec.filePrefix = std::string(trimmed(first[1]));
    bool digits = false;
    const long count = leadingInteger<long>(first[2], &digits);
    if (count == 0)
        return failure(ReadError::Kind::Empty, digits ? std::string("data file count is 0")
                                                      : "data file count '" + std::string(trimmed(first[2])) +
                                                            "' is not a number");
    if (count < 0)
        return failure(ReadError::Kind::InvalidData,
                       "data file count is " + std::to_string(count) + ", not a positive number");

    try {
        for (long i = 0; i < count; ++i) {
            if (const Next n = next(); n != Next::Line)
                return lineFailure(n, "data file line " + std::to_string(i + 1) + " of " + std::to_string(count));
            DataFileEntry entry;
            if (std::string problem = dataFileLineProblem(line, entry); !problem.empty())
                return failure(ReadError::Kind::InvalidData, std::move(problem));
            entry.fileTitle = fileTitleOf(entry.dataPath);
            entry.firstRow = 0;
            spec.dataFiles.push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        return failure(ReadError::Kind::OutOfMemory,
                       "not enough memory for a list of " + std::to_string(count) + " data files");
    }

    for (;;) {
        const Next n = next();
        if (n == Next::End)
            break;
        if (n != Next::Line)
            return lineFailure(n, std::string());
        const std::string_view text = trimmed(line);
        if (text.empty())
            continue;
        spec.sasHeader.append(text).append(";\r\n");
        spec.spssHeader.append(text).append(".\r\n");
    }
    if (spec.sasHeader.empty()) {
        for (const char* text : {"***** You WILL need to edit this code *******",
                                 "***** Check all PROC FORMAT statements ******",
                                 "***** Check all MERGE statements ************",
                                 "***** Check for unneeded semicolons *********"})
            spec.sasHeader.append(text).append(";\r\n");
        for (const char* text : {"* You will need to EDIT this code!  Please check all",
                                 "* FILE=  and MATCH FILES statements"})
            spec.spssHeader.append(text).append(".\r\n");
    }
    return spec;
}

std::string projectSpecMessage(const ReadError& error)
{
    switch (error.kind) {
    case ReadError::Kind::CannotOpen:
        return "Cannot Open '" + error.file + "' !";
    case ReadError::Kind::Empty:
        return "Cannot Open '" + error.file + "' Has Invalid Entry !";
    case ReadError::Kind::OutOfMemory:
        return "Not Enough Memory !";
    default:
        return std::string(invalidData);
    }
}

bool readProjectSpec(std::string_view resourceDir, ProjectSpec& spec, Ui& ui)
{
    auto read = readProjectSpecFile(resourceDir, spec.filePrefix);
    if (!read) {
        // The program's own text, with where it looked and why it failed
        // (host path, drive variable, reason) as the box's detail.
        ui.error(projectSpecMessage(read.error()), describe(read.error()));
        return false;
    }
    spec = std::move(read).value();
    return true;
}

std::string mainWindowTitle(const ProjectSpec& project)
{
    return "QAVN - [" + project.dataSetTitle + "]";
}

} // namespace qavn
