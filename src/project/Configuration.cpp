// The project's configuration file: reading it at start-up and writing it from
// Setup.

#include "project/Configuration.h"

#include "platform/HostPath.h"
#include "platform/LineReader.h"
#include "platform/Strings.h"
#include "platform/Ui.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qavn {

namespace fs = std::filesystem;

std::string configurationPath(std::string_view projectId)
{
    return std::string(projectId) + "QAV.CFG";
}

ReadResult<void> readConfigurationFile(std::string_view path, Settings& settings)
{
    auto opened = openHostFileForReading(path);
    if (!opened)
        return opened.error();
    FilePtr file = std::move(opened).value();
    // A configuration line is one value however long it is, never split into
    // several; the line end goes with the trimming.
    std::string line;
    for (int n = 1; n <= 3 && readWholeLine(file.get(), line); ++n) {
        const std::string value = upperAscii(trimmed(line));
        if (n == 1)
            settings.resourceDir = value;
        else if (n == 2)
            settings.outputDir = value;
        else
            settings.cdromDrive = value.empty() ? '\0' : value.front();
    }
    return {};
}

ReadResult<void> readConfiguration(std::string_view projectId, Settings& settings, Ui& ui,
                                   FunctionRef<void(Settings&)> setupDialog)
{
    const std::string path = configurationPath(projectId);
    auto read = readConfigurationFile(path, settings);
    if (read)
        return read;
    if (!ui.askYesNo("Cannot Find " + path + " !\n" + "Do You Want to Create It ? ", Ui::Icon::Stop))
        return read;
    setupDialog(settings);
    return {};
}

std::string configurationText(std::string_view resourceDir, std::string_view outputDir, char cdromDrive,
                              std::string_view line4, std::string_view line5, std::string_view line6)
{
    std::string text;
    text.append(resourceDir).append("\r\n");
    text.append(outputDir).append("\r\n");
    if (cdromDrive != '\0')
        text.push_back(cdromDrive);
    text.append("\r\n");
    text.append(line4).append("\r\n");
    text.append(line5).append("\r\n");
    text.append(line6);
    return text;
}

namespace {

// The file a rewrite replaces: the configuration itself, or, when it is a
// symbolic link, the file the link leads to, so that a configuration shared
// through a link stays shared. A chain of links is followed to its end (or
// to a link that leads nowhere, whose target is then created).
fs::path replacedFile(const fs::path& path)
{
    fs::path file = path;
    std::error_code ec;
    // As many steps as the system itself follows before it gives up.
    for (int step = 0; step < 40 && fs::is_symlink(file, ec); ++step) {
        const fs::path next = fs::read_symlink(file, ec);
        if (ec)
            break;
        file = next.is_absolute() ? next : file.parent_path() / next;
    }
    return file;
}

// The folder that holds `file`, absolute, for a message.
std::string folderOf(const fs::path& file)
{
    std::error_code ec;
    fs::path folder = fs::absolute(file, ec).parent_path();
    if (ec)
        folder = file.parent_path();
    return folder.lexically_normal().string();
}

} // namespace

bool writeConfiguration(std::string_view path, const Settings& settings, SetupMode mode, Ui& ui)
{
    std::string kept[3] = {"0", "0", "2"};
    if (mode == SetupMode::Change) {
        FilePtr previous(openHostFile(path, "rb"));
        if (!previous) {
            ui.error("Cannot Open " + std::string(path) + " !");
            return false;
        }
        for (auto& k : kept)
            k.clear();
        // Whole lines, as start-up reads them: a long first line stays one
        // line, and the kept lines are lines 4-6 of the file as it stands.
        std::string line;
        for (int n = 1; n <= 6 && readWholeLine(previous.get(), line); ++n) {
            if (n >= 4)
                kept[n - 4] = std::string(trimmed(line));
        }
    }

    const std::string text =
        configurationText(settings.resourceDir, settings.outputDir, settings.cdromDrive, kept[0], kept[1], kept[2]);
    const fs::path target = replacedFile(toHostPath(path));
    fs::path temporary = target;
    temporary += ".tmp" + std::to_string(static_cast<long>(::getpid()));

    auto failed = [&](const std::string& why) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        ui.error("Cannot Write " + std::string(path) + " !\n" + why);
        return false;
    };
    FilePtr out(std::fopen(temporary.c_str(), "wb"));
    if (!out)
        return failed(std::string(std::strerror(errno)) + ": the folder " + folderOf(temporary) +
                      " cannot take the temporary file " + temporary.filename().string());
    // The rewritten file keeps the permissions (and, where allowed, the
    // owner) of the file it replaces.
    struct stat previousStatus {};
    if (::stat(target.c_str(), &previousStatus) == 0) {
        const int fd = fileno(out.get());
        if (::fchown(fd, previousStatus.st_uid, previousStatus.st_gid) != 0) {
            // Only the owner's group or root may hand a file over; the file
            // is then the writer's own.
        }
        if (::fchmod(fd, previousStatus.st_mode & 07777) != 0)
            return failed(std::string(std::strerror(errno)) + ": the temporary file " + temporary.string() +
                          " cannot take the permissions of " + target.string());
    }
    if (std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() || std::fflush(out.get()) != 0 ||
        ::fsync(fileno(out.get())) != 0)
        return failed(std::string(std::strerror(errno)) + ": writing the temporary file " + temporary.string());
    if (std::fclose(out.release()) != 0)
        return failed(std::string(std::strerror(errno)) + ": writing the temporary file " + temporary.string());
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec)
        return failed(ec.message() + ": the temporary file " + temporary.string() + " cannot replace " +
                      target.string());
    return true;
}

void checkDataOnCd(Settings& settings, std::string_view firstDataPath)
{
    if (settings.cdromDrive == '\0') {
        settings.dataOnCd = false;
        return;
    }
    std::string path(1, settings.cdromDrive);
    path.append(":\\").append(firstDataPath);
    std::error_code ec;
    settings.dataOnCd = fs::is_regular_file(toHostPath(path), ec);
}

} // namespace qavn
