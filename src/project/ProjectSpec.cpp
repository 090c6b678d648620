#include "project/ProjectSpec.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/Strings.h"
#include "platform/Ui.h"

#include <memory>
#include <new>

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

} // namespace

std::string fileTitleOf(std::string_view dataPath)
{
    const std::size_t slash = dataPath.find_last_of("\\/:");
    std::string_view name = slash == std::string_view::npos ? dataPath : dataPath.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

bool readProjectSpec(std::string_view resourceDir, ProjectSpec& spec, Ui& ui)
{
    const std::string path = std::string(resourceDir) + "\\QAVSPEC." + spec.filePrefix;
    FilePtr file(openHostFile(path, "rb"));
    if (!file) {
        ui.error("Cannot Open '" + path + "' !");
        return false;
    }
    LineReader reader(file.get(), ProjectSpec::lineBuffer);
    std::string line;
    // A line too long for the reader's buffer would arrive in pieces and be
    // read as several items; such a file is refused instead.
    auto nextLine = [&] { return reader.next(line) && reader.lastWasWhole(); };
    auto longLine = [&] { return !line.empty() && !reader.lastWasWhole(); };

    std::string first[3];
    for (auto& item : first) {
        if (!nextLine()) {
            ui.error(invalidData);
            return false;
        }
        item = line;
    }
    spec.dataSetTitle = std::string(trimmed(first[0]));
    spec.filePrefix = std::string(trimmed(first[1]));
    const long count = leadingInteger<long>(first[2]);
    if (count == 0) {
        ui.error("Cannot Open '" + path + "' Has Invalid Entry !");
        return false;
    }
    if (count < 0) {
        ui.error(invalidData);
        return false;
    }

    bool ok = true;
    spec.dataFiles.clear();
    try {
        for (long i = 0; i < count; ++i) {
            DataFileEntry entry;
            if (!nextLine() || !parseDataFileLine(line, entry) || entry.linesPerCase < 1 ||
                entry.idLocation.size() > ProjectSpec::maxIdLocation ||
                entry.dataPath.size() > ProjectSpec::maxDataPath) {
                ui.error(invalidData);
                ok = false;
                break;
            }
            entry.fileTitle = fileTitleOf(entry.dataPath);
            entry.firstRow = 0;
            spec.dataFiles.push_back(std::move(entry));
        }
    } catch (const std::bad_alloc&) {
        ui.error("Not Enough Memory !");
        return false;
    }

    spec.sasHeader.clear();
    spec.spssHeader.clear();
    if (ok) {
        while (nextLine()) {
            const std::string_view text = trimmed(line);
            if (text.empty())
                continue;
            spec.sasHeader.append(text).append(";\r\n");
            spec.spssHeader.append(text).append(".\r\n");
        }
        if (longLine()) {
            ui.error(invalidData);
            ok = false;
        }
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
    return ok;
}

std::string mainWindowTitle(const ProjectSpec& project)
{
    return "QAVN - [" + project.dataSetTitle + "]";
}

} // namespace qavn
