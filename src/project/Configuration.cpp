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
        // At most six lines of at most 257 characters, as the file was
        // always read back.
        LineReader reader(previous.get(), 259);
        std::string line;
        for (int n = 1; n <= 6 && reader.next(line); ++n) {
            if (n >= 4)
                kept[n - 4] = std::string(trimmed(line));
        }
    }

    const std::string text =
        configurationText(settings.resourceDir, settings.outputDir, settings.cdromDrive, kept[0], kept[1], kept[2]);
    const fs::path target = toHostPath(path);
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
        return failed(std::strerror(errno));
    if (std::fwrite(text.data(), 1, text.size(), out.get()) != text.size() || std::fflush(out.get()) != 0 ||
        ::fsync(fileno(out.get())) != 0)
        return failed(std::strerror(errno));
    if (std::fclose(out.release()) != 0)
        return failed(std::strerror(errno));
    std::error_code ec;
    fs::rename(temporary, target, ec);
    if (ec)
        return failed(ec.message());
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
