// Reading the project's drive file and making it the drive rule.
#include "project/ProjectDrives.h"

#include "platform/HostPath.h"
#include "platform/Strings.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <system_error>

namespace qavn {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view header = "QAVN-DRIVES 1";

ReadError invalid(std::string_view path, std::uint64_t line, std::string reason)
{
    ReadError error;
    error.kind = ReadError::Kind::InvalidData;
    error.file = std::string(path);
    error.line = line;
    error.reason = std::move(reason);
    return error;
}

} // namespace

std::string driveFilePath(std::string_view projectId)
{
    return std::string(projectId) + "QAV.DRIVES";
}

std::string driveFileText(const std::map<char, std::string>& drives)
{
    std::string text = std::string(header) + "\n";
    text += "# The folders that stand for this project's drive letters (relative to this file's folder).\n"
            "# They come before the QAVN_DRIVE_X variables, which stay for other projects.\n";
    for (const auto& [letter, folder] : drives)
        text += std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) + "=" +
                folder + "\n";
    return text;
}

ReadResult<std::map<char, fs::path>> readDriveFile(std::string_view path)
{
    std::ifstream in{fs::path(std::string(path)), std::ios::binary};
    if (!in) {
        ReadError error;
        error.kind = ReadError::Kind::CannotOpen;
        error.file = std::string(path);
        error.reason = "No such file or directory";
        return error;
    }
    std::error_code ec;
    const fs::path base = fs::absolute(fs::path(std::string(path)), ec).parent_path();
    std::map<char, fs::path> drives;
    std::string line;
    std::uint64_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (number == 1) {
            if (line != header)
                return invalid(path, number, "not a QAVN drive file (the first line is not \"QAVN-DRIVES 1\")");
            continue;
        }
        if (trimmed(line).empty() || line.front() == '#')
            continue;
        const bool shaped = line.size() >= 3 && std::isalpha(static_cast<unsigned char>(line[0])) && line[1] == '=';
        if (!shaped)
            return invalid(path, number, "\"" + line + "\" is not a drive letter and its folder (C=c)");
        const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
        const fs::path folder = line.substr(2);
        if (!drives.emplace(letter, folder.is_absolute() ? folder : base / folder).second)
            return invalid(path, number, std::string("drive ") + letter + ": is given twice");
    }
    if (number == 0)
        return invalid(path, 1, "the file is empty; a QAVN drive file starts with \"QAVN-DRIVES 1\"");
    return drives;
}

ReadResult<void> loadProjectDrives(std::string_view projectId)
{
    const std::string path = driveFilePath(projectId);
    std::error_code ec;
    if (!fs::exists(fs::path(path), ec)) {
        setProjectDrives({}, {});
        return {};
    }
    auto drives = readDriveFile(path);
    if (!drives) {
        setProjectDrives({}, {});
        return drives.error();
    }
    setProjectDrives(std::move(drives).value(), path);
    return {};
}

} // namespace qavn
