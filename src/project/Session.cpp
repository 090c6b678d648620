// One project run without a window: its ID, settings and specification, and the
// start-up steps that read them.

#include "project/Session.h"

#include "project/Configuration.h"
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
    // A declined configuration file has had its question as its message.
    if (!readConfiguration(projectId, settings, *ui_, setupDialog))
        return false;
    return readProjectSpec(settings.resourceDir, project, *ui_);
}

ReadResult<void> Session::loadProject(std::string_view id)
{
    projectId = std::string(id);
    project.filePrefix = projectId;
    settings.programDir = programDirectory();
    if (auto read = readConfigurationFile(configurationPath(projectId), settings); !read)
        return read;
    auto spec = readProjectSpecFile(settings.resourceDir, project.filePrefix);
    if (!spec)
        return spec.error();
    project = std::move(spec).value();
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
