#include "writers/WriterDriver.h"

#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"
#include "writers/WriterContext.h"

namespace qavn {

namespace {

// The tagged rows in ascending order, with the bar moving on all but every
// tenth one.
void collectTagged(WriterContext& context)
{
    const VariableList& list = context.list;
    const std::uint32_t wanted = list.tagCount();
    context.tagged.reserve(wanted);
    context.progress(1);
    for (std::uint32_t row = 1; row <= list.rowCount() && context.tagged.size() < wanted; ++row) {
        if (!list.isTagged(row))
            continue;
        context.tagged.push_back(row);
        if (context.tagged.size() % 10 != 0)
            context.progress(1);
    }
    context.progress(1);
}

} // namespace

bool checkTaggedItems(const VariableList& list, Ui& ui)
{
    if (list.tagCount() > 0)
        return true;
    ui.error(noTaggedItemMessage);
    return false;
}

bool confirmReplacement(std::string_view chosenPath, std::string_view defaultExtension, Ui& ui)
{
    const std::string name = outputFileName(chosenPath, defaultExtension);
    if (name == trimmed(chosenPath) || !hostPathExists(name))
        return true;
    return ui.askYesNo(name + " already exists.\nDo you want to replace it?", Ui::Icon::Question);
}

OutputResult runWriterDriver(const WriterServices& services, const WriterRequest& request, Progress& progress,
                             FileTextOutput* output)
{
    OutputResult result;
    if (!request.write)
        return result;
    WriterContext context(services.list, services.store, services.project, services.settings, services.ui,
                          progress, request.labelChoice);
    progress.setRange(writingProgressRange);

    FileTextOutput ownFile;
    FileTextOutput& file = output ? *output : ownFile;
    result.fileName = outputFileName(request.chosenPath, request.defaultExtension);
    if (!file.open(result.fileName)) {
        services.ui.error("Cannot Open " + result.fileName);
        context.setCancelled();
        return result;
    }
    context.output = &file;

    collectTagged(context);
    const bool complete = request.write(context);
    context.progress(writingProgressRange);

    if (!file.close()) {
        services.ui.error("Cannot Write " + result.fileName + " !\n" + file.errorText());
        context.setCancelled();
        result.status = OutputStatus::Failed;
        return result;
    }
    result.status = complete ? OutputStatus::Written : OutputStatus::Stopped;
    return result;
}

} // namespace qavn
