// One project run without a window: its ID, settings and specification, and the
// start-up steps that read them.

#include "project/Session.h"

#include "project/Configuration.h"
#include "project/ProjectDrives.h"
#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "platform/Ui.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace qavn {

bool Session::parseCommandLine(std::string_view arguments, std::string& projectId, Ui& ui)
{
    while (!arguments.empty() && arguments.front() == ' ')
        arguments.remove_prefix(1);
    const std::string upper = upperAscii(arguments);
    if (upper.size() < 2 || upper[0] != 'P' || upper[1] != '=') {
        ui.error(usageMessage);
        return false;
    }
    projectId = upper.substr(2);
    return true;
}

std::string Session::configurationFile() const
{
    return configurationPath(projectId);
}

bool Session::readProject(std::string_view arguments, FunctionRef<void(Settings&)> setupDialog)
{
    if (!parseCommandLine(arguments, projectId, *ui_))
        return false;
    project.filePrefix = projectId;
    settings.programDir = programDirectory();
    if (auto drives = loadProjectDrives(projectId); !drives) {
        ui_->error(describe(drives.error()));
        return false;
    }
    // A declined configuration file has had its question as its message.
    if (!readConfiguration(projectId, settings, *ui_, setupDialog))
        return false;
    if (!readProjectSpec(settings.resourceDir, project, *ui_))
        return false;
    readMetadata();
    if (metadataProblem)
        ui_->message(describe(*metadataProblem) + "\nThe project opens without its metadata.", Ui::Buttons::Ok,
                     Ui::Icon::Information);
    return true;
}

void Session::readMetadata()
{
    metadata.reset();
    metadataProblem.reset();
    const std::string name = settings.resourceDir + "\\" + metadataFileName(project.filePrefix);
    const std::filesystem::path host = toHostPath(name);
    std::error_code ec;
    if (!std::filesystem::exists(host, ec))
        return;
    auto read = readMetadataFile(host, name);
    if (read)
        metadata = std::move(read).value();
    else
        metadataProblem = read.error();
}

ReadResult<void> Session::loadProject(std::string_view id)
{
    projectId = std::string(id);
    project.filePrefix = projectId;
    settings.programDir = programDirectory();
    if (auto drives = loadProjectDrives(projectId); !drives)
        return drives;
    if (auto read = readConfigurationFile(configurationPath(projectId), settings); !read)
        return read;
    auto spec = readProjectSpecFile(settings.resourceDir, project.filePrefix);
    if (!spec)
        return spec.error();
    project = std::move(spec).value();
    readMetadata();
    return {};
}

std::string programDirectory()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::string();
    std::string dir = exe.parent_path().string();
    if (dir.empty() || dir.back() != '/')
        dir.push_back('/');
    return dir;
}

} // namespace qavn
