#include "app/qt/OutputCommands.h"

#include "codebook/OpenProject.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/OutputDialogs.h"
#include "outputs/OutputFormats.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "catalogue/VariableList.h"

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

void OutputCommands::run(const OutputFormat& format)
{
    if (!checkTaggedItems(list_, ui_))
        return;

    OutputJob job;
    if (format.files == OutputFiles::One) {
        auto chosen = ui_.chooseFile(Ui::FileDialog::Save, format.filter, session_.settings.outputDir);
        if (!chosen)
            return;
        job.path = *chosen;
        if (!confirmReplacement(job.path, format.defaultExtension, ui_))
            return;
    }
    if (format.asksReservedCodes) {
        const std::optional<LabelChoice> choice = askReservedCodes();
        if (!choice)
            return;
        job.labelChoice = *choice;
    }

    const WriterServices services{list_, session_.store, session_.project, session_.settings, ui_, session_.projectId};
    // The output runs once the writing dialog is on screen; the dialog is its
    // progress bar (one file) or record counter (several) and cancel flag.
    std::unique_ptr<WorkDialog> dialog;
    auto work = [&] {
        const OutputResult result = writeOutput(format, services, job, *dialog);
        if (format.files == OutputFiles::Several && result.status == OutputStatus::Written)
            showGeneratedFiles(generatedFilesLines(result.generatedFiles));
    };
    if (format.files == OutputFiles::Several) {
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
