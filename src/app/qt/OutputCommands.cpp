#include "app/qt/OutputCommands.h"

#include "codebook/OpenProject.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/OutputDialogs.h"
#include "export/AccessExport.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "catalogue/VariableList.h"
#include "writers/WriterContext.h"
#include "writers/WriterDriver.h"

#include <memory>

namespace qavn {

OutputCommands::OutputCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent)
    : session_(session), list_(list), ui_(ui), parent_(parent)
{
    askReservedCodes = [this] { return askReservedCodeChoice(parent_); };
    runWritingDialog = [](WorkDialog& dialog) { dialog.exec(); };
    showGeneratedFiles = [this](const std::vector<std::string>& lines) {
        GeneratedFilesDialog dialog(lines, parent_);
        dialog.exec();
    };
}

void OutputCommands::run(int kind)
{
    const OutputKindInfo* info = outputKindInfo(kind);
    if (!info)
        return;
    if (!checkTaggedItems(list_, ui_))
        return;

    WriterRequest request;
    request.kind = kind;
    if (kind != static_cast<int>(OutputKind::AccessDb)) {
        auto chosen = ui_.chooseFile(Ui::FileDialog::Save, info->filter, session_.settings.outputDir);
        if (!chosen)
            return;
        request.chosenPath = *chosen;
        if (!confirmReplacement(request.chosenPath, kind, ui_))
            return;
    }
    if (info->asksReservedCodes) {
        request.reservedChoice = askReservedCodes();
        if (request.reservedChoice == 0)
            return;
    }

    const WriterServices services{list_, session_.store, session_.project, session_.settings, ui_};
    AccessExportRunner access = [this](WriterContext& context) {
        const AccessExportResult result = runAccessExport(context.tagged, context.store, context.project,
                                                          context.settings, context.ui, context.progressSink);
        context.generatedFiles = result.generatedFiles;
        if (result.completed)
            showGeneratedFiles(generatedFilesLines(result.generatedFiles));
        return result.completed;
    };
    // The writer runs once the writing dialog is on screen; the dialog is its
    // progress bar (template 121) or record counter (145) and cancel flag.
    std::unique_ptr<WorkDialog> dialog;
    auto work = [&] { runWriterDriver(services, request, *dialog, access); };
    if (info->dialogTemplate == exportTemplate) {
        dialog = std::make_unique<ExportDialog>(parent_, work);
    } else {
        auto writing = std::make_unique<LoadingDialog>(parent_, work);
        writing->setMessage(latin1(writingDialogText));
        dialog = std::move(writing);
    }
    runWritingDialog(*dialog);
}

void OutputCommands::viewOutput()
{
    if (auto chosen = ui_.chooseFile(Ui::FileDialog::Open, "SAS Code|*.sas|Codebook|*.txt|SPSS|*.sps|",
                                     session_.settings.outputDir))
        ui_.openInViewer(*chosen);
}

} // namespace qavn
