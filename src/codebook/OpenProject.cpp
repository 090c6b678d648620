#include "codebook/OpenProject.h"

#include "project/Configuration.h"

namespace qavn {

bool OpenProject::start(std::string_view arguments, FunctionRef<void(Settings&)> setupDialog)
{
    if (!readProject(arguments, setupDialog))
        return false;
    if (!store.open(settings.resourceDir, project.filePrefix))
        return false;
    checkDataOnCd(settings, project.dataFiles.front().dataPath);
    return true;
}

} // namespace qavn
