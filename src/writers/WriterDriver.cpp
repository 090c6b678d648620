#include "writers/WriterDriver.h"

#include "platform/HostPath.h"
#include "platform/Progress.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "catalogue/VariableList.h"
#include "writers/ProgramWriters.h"
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

bool dispatch(WriterContext& context, const AccessExportRunner& accessExport)
{
    switch (static_cast<OutputKind>(context.kind)) {
    case OutputKind::Sas:
        return writeSasProgram(context);
    case OutputKind::SpssDos:
        return writeSpssProgram(context, true);
    case OutputKind::SpssWin:
        return writeSpssProgram(context, false);
    case OutputKind::Tag:
        return writeTagFile(context);
    case OutputKind::CodeText:
        return writeCodebookText(context);
    case OutputKind::AccessDb:
        return accessExport ? accessExport(context) : true;
    }
    return false;
}

} // namespace

bool checkTaggedItems(const VariableList& list, Ui& ui)
{
    if (list.tagCount() > 0)
        return true;
    ui.error(noTaggedItemMessage);
    return false;
}

bool confirmReplacement(std::string_view chosenPath, int kind, Ui& ui)
{
    const std::string name = outputFileName(chosenPath, kind);
    if (name == trimmed(chosenPath) || !hostPathExists(name))
        return true;
    return ui.askYesNo(name + " already exists.\nDo you want to replace it?", Ui::Icon::Question);
}

OutputResult runWriterDriver(const WriterServices& services, const WriterRequest& request, Progress& progress,
                             const AccessExportRunner& accessExport, FileTextOutput* output)
{
    OutputResult result;
    if (!outputKindInfo(request.kind))
        return result;
    WriterContext context(services.list, services.store, services.project, services.settings, services.ui,
                          progress, request.kind, request.reservedChoice);
    if (context.dialogTemplate == writingTemplate)
        progress.setRange(writingProgressRange);

    FileTextOutput ownFile;
    FileTextOutput& file = output ? *output : ownFile;
    const bool needsFile = request.kind != static_cast<int>(OutputKind::AccessDb);
    if (needsFile) {
        result.fileName = outputFileName(request.chosenPath, request.kind);
        if (!file.open(result.fileName)) {
            services.ui.error("Cannot Open " + result.fileName);
            context.setCancelled();
            return result;
        }
        context.output = &file;
    }

    collectTagged(context);
    const bool complete = dispatch(context, accessExport);
    context.progress(writingProgressRange);
    result.generatedFiles = std::move(context.generatedFiles);

    if (needsFile && !file.close()) {
        services.ui.error("Cannot Write " + result.fileName + " !\n" + file.errorText());
        context.setCancelled();
        result.status = OutputStatus::Failed;
        return result;
    }
    result.status = complete ? OutputStatus::Written : OutputStatus::Stopped;
    return result;
}

} // namespace qavn
