// DOS-style project paths mapped onto this host (drives, separators, letter case),
// and opening files through them.

#include "platform/HostPath.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qavn {
namespace fs = std::filesystem;

namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string driveVariable(char letter)
{
    return std::string("QAVN_DRIVE_") + static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

bool startsWithDrive(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
}

struct ProjectDrives {
    std::map<char, fs::path> folders;
    std::string file;
};

ProjectDrives& projectDrives()
{
    static ProjectDrives drives;
    return drives;
}

fs::path driveRoot(char letter)
{
    const auto& project = projectDrives().folders;
    if (const auto found = project.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
        found != project.end())
        return found->second;
    const std::string variable = driveVariable(letter);
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0')
        return fs::path(value);
    // A folder named after the letter in the working directory (c or C)
    // stands for the drive, so a project folder opens without set-up.
    const std::string lower(1, static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
    std::error_code ec;
    for (const std::string& name : {lower, std::string(1, static_cast<char>(std::toupper(lower[0])))})
        if (fs::is_directory(name, ec))
            return fs::absolute(name, ec);
    return fs::path("/mnt") / lower;
}

// The name of `component` inside `dir` as the host spells it.
std::string matchComponent(const fs::path& dir, const std::string& component)
{
    std::error_code ec;
    if (component == "." || component == "..")
        return component;
    if (fs::exists(dir / component, ec))
        return component;
    std::vector<std::string> candidates;
    fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
    if (ec)
        return component;
    for (const auto& entry : it) {
        std::string name = entry.path().filename().string();
        if (equalIgnoringCase(name, component))
            candidates.push_back(std::move(name));
        if (ec)
            break;
    }
    if (candidates.empty())
        return component;
    return *std::min_element(candidates.begin(), candidates.end());
}

} // namespace

void setProjectDrives(std::map<char, std::filesystem::path> drives, std::string file)
{
    ProjectDrives& project = projectDrives();
    project.folders.clear();
    for (auto& [letter, folder] : drives)
        project.folders[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = std::move(folder);
    project.file = project.folders.empty() ? std::string() : std::move(file);
}

fs::path toHostPath(std::string_view dosPath)
{
    fs::path result;
    std::string_view rest = dosPath;
    if (startsWithDrive(rest)) {
        result = driveRoot(rest[0]);
        rest.remove_prefix(2);
    } else if (!rest.empty() && (rest.front() == '/' || rest.front() == '\\')) {
        result = "/";
    }

    std::size_t pos = 0;
    while (pos <= rest.size()) {
        std::size_t end = rest.find_first_of("\\/", pos);
        if (end == std::string_view::npos)
            end = rest.size();
        std::string component(rest.substr(pos, end - pos));
        if (!component.empty())
            result /= matchComponent(result, component);
        pos = end + 1;
    }
    return result;
}

fs::path chosenHostPath(std::string_view path)
{
    if (!startsWithDrive(path) || path.size() < 3 || (path[2] != '\\' && path[2] != '/'))
        return fs::path(std::string(path));
    std::string rest(path.substr(2));
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return driveRoot(path[0]) / fs::path(rest).relative_path();
}

bool hostPathExists(std::string_view dosPath)
{
    std::error_code ec;
    return fs::exists(toHostPath(dosPath), ec);
}

std::FILE* openHostFile(std::string_view dosPath, const char* mode)
{
    const fs::path path = toHostPath(dosPath);
    if (path.empty())
        return nullptr;
    std::error_code ec;
    // Opening a directory for reading succeeds on this host; the program
    // never wants that.
    if (fs::is_directory(path, ec))
        return nullptr;
    return std::fopen(path.c_str(), mode);
}

std::optional<DriveMapping> driveMappingOf(std::string_view dosPath)
{
    if (!startsWithDrive(dosPath))
        return std::nullopt;
    DriveMapping drive;
    drive.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(dosPath[0])));
    drive.variable = driveVariable(drive.letter);
    const char* value = std::getenv(drive.variable.c_str());
    drive.set = value != nullptr && *value != '\0';
    if (projectDrives().folders.count(drive.letter) != 0)
        drive.projectFile = projectDrives().file;
    return drive;
}

ReadError openError(std::string_view dosPath, const fs::path& hostPath, int errnum)
{
    ReadError error;
    error.kind = ReadError::Kind::CannotOpen;
    error.file = std::string(dosPath);
    std::error_code ec;
    const fs::path absolute = hostPath.empty() ? hostPath : fs::absolute(hostPath, ec);
    error.hostPath = (ec ? hostPath : absolute).string();
    error.reason = std::strerror(errnum);
    error.drive = driveMappingOf(dosPath);
    return error;
}

FilePtr openRegularFile(const fs::path& path, int& errnum, std::string& reason)
{
    errnum = 0;
    reason.clear();
    if (path.empty()) {
        errnum = ENOENT;
        reason = std::strerror(errnum);
        return nullptr;
    }
    // Without O_NONBLOCK opening a FIFO waits for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        errnum = errno != 0 ? errno : ENOENT;
        reason = std::strerror(errnum);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        errnum = errno;
        reason = std::strerror(errnum);
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        if (S_ISDIR(info.st_mode)) {
            errnum = EISDIR;
            reason = std::strerror(errnum);
        } else {
            reason = S_ISFIFO(info.st_mode)   ? "not a regular file but a FIFO (named pipe)"
                     : S_ISSOCK(info.st_mode) ? "not a regular file but a socket"
                                              : "not a regular file but a device";
        }
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FilePtr file(::fdopen(fd, "rb"));
    if (!file) {
        errnum = errno;
        reason = std::strerror(errnum);
        ::close(fd);
    }
    return file;
}

ReadResult<FilePtr> openHostFileForReading(std::string_view dosPath)
{
    const fs::path path = toHostPath(dosPath);
    int errnum = 0;
    std::string reason;
    FilePtr file = openRegularFile(path, errnum, reason);
    if (file)
        return file;
    ReadError error = openError(dosPath, path, errnum != 0 ? errnum : EINVAL);
    error.reason = reason;
    return error;
}

} // namespace qavn
