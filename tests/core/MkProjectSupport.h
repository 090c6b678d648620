#pragma once

// Running qavn-mkproject from tests, and reading what it made independently
// of the program's own readers.

#include "TestProject.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace qavn::test {

inline std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs qavn-mkproject with `arguments` (already quoted); returns its exit
// status and puts what it wrote to standard error into `errors`.
inline int runMkProject(const std::string& arguments, std::string* errors = nullptr)
{
    static int counter = 0;
    const std::filesystem::path log =
        std::filesystem::temp_directory_path() / ("qavn-mkproject-" + std::to_string(::getpid()) + "-" +
                                                  std::to_string(++counter) + ".err");
    const std::string tool = std::string(QAVN_BINARY_DIR) + "/bin/qavn-mkproject";
    const int status = std::system((quoted(tool) + " " + arguments + " > /dev/null 2> " + quoted(log.string())).c_str());
    if (errors)
        *errors = readFile(log);
    std::filesystem::remove(log);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The lines of a raw data file; each must end in CR LF (`crlf` tells).
inline std::vector<std::string> rawLines(const std::filesystem::path& file, bool* crlf = nullptr)
{
    const std::string bytes = readFile(file);
    std::vector<std::string> lines;
    bool allCrlf = true;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        if (end == std::string::npos) {
            allCrlf = false;
            end = bytes.size();
        }
        std::string line = bytes.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        else
            allCrlf = false;
        lines.push_back(std::move(line));
        pos = end + 1;
    }
    if (crlf)
        *crlf = allCrlf;
    return lines;
}

// The data files named by a specification file: lines per case, identifier
// location and path, read with plain string handling.
struct SpecFileEntry {
    int linesPerCase = 0;
    std::string idLocation;
    std::string dataPath;
};
inline std::vector<SpecFileEntry> specDataFiles(const std::filesystem::path& spec)
{
    std::istringstream in(readFile(spec));
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    std::getline(in, line);
    const int count = std::atoi(line.c_str());
    std::vector<SpecFileEntry> files;
    for (int i = 0; i < count && std::getline(in, line); ++i) {
        std::istringstream words(line);
        SpecFileEntry e;
        words >> e.linesPerCase >> e.idLocation >> e.dataPath;
        files.push_back(e);
    }
    return files;
}

inline std::filesystem::path rawPath(const std::filesystem::path& root, std::string dataPath)
{
    for (char& c : dataPath)
        if (c == '\\')
            c = '/';
    return root / "d" / dataPath;
}

inline std::string trimBlanks(const std::string& s)
{
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// Columns "a-b" or "a" as a 0-based start and a width.
inline std::pair<std::size_t, std::size_t> columnsOf(const std::string& location)
{
    const std::size_t dash = location.find('-');
    const int first = std::atoi(location.c_str());
    const int last = dash == std::string::npos ? first : std::atoi(location.c_str() + dash + 1);
    return {static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1)};
}

// The field of one case, blank when the line is short.
inline std::string fieldOf(const std::vector<std::string>& lines, std::size_t caseIndex, int linesPerCase, int record,
                           const std::string& location)
{
    const std::string& line = lines.at(caseIndex * static_cast<std::size_t>(linesPerCase) +
                                       static_cast<std::size_t>(record - 1));
    const auto [start, width] = columnsOf(location);
    if (start >= line.size())
        return {};
    return line.substr(start, width);
}

// Percent with one decimal, rounded half up, by plain arithmetic.
inline std::string percentOf(long count, long total)
{
    const long tenths = (count * 1000 + total / 2) / total;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

} // namespace qavn::test
