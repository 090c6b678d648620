// A project opened for browsing: the session with its two codebook files open.

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

ReadResult<void> OpenProject::load(std::string_view id)
{
    if (auto read = loadProject(id); !read)
        return read;
    if (auto opened = store.openFiles(settings.resourceDir, project.filePrefix); !opened)
        return opened;
    checkDataOnCd(settings, project.dataFiles.front().dataPath);
    return {};
}

} // namespace qavn
