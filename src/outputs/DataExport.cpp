// The data export of the tagged variables as the window and the batch tool run it.

#include "outputs/DataExport.h"

#include "catalogue/VariableList.h"
#include "export/AccessExport.h"
#include "project/Settings.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qavn {

OutputResult exportTaggedData(const WriterServices& services, std::string_view outputDir, Progress& progress)
{
    const std::vector<std::uint32_t> tagged = services.list.taggedRows();

    // Another folder for this run only: the project's settings stay as they are.
    std::optional<Settings> elsewhere;
    if (!outputDir.empty()) {
        elsewhere = services.settings;
        elsewhere->outputDir = std::string(outputDir);
    }
    const Settings& settings = elsewhere ? *elsewhere : services.settings;

    AccessExportOptions options;
    options.projectId = services.projectId;
    options.outputDirAsGiven = !outputDir.empty();
    AccessExportResult exported =
        runAccessExport(tagged, services.store, services.project, settings, services.ui, progress, options);
    OutputResult result;
    result.status = exported.completed ? OutputStatus::Written : OutputStatus::Stopped;
    result.generatedFiles = std::move(exported.generatedFiles);
    result.generatedHostFiles = std::move(exported.hostFiles);
    return result;
}

} // namespace qavn
