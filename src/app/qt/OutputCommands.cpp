// File > Output and View Output: the dialogs around each output of the
// output-format table.

#include "app/qt/OutputCommands.h"

#include "codebook/OpenProject.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/OutputDialogs.h"
#include "outputs/OutputFormats.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "catalogue/VariableList.h"
#include "platform/HostPath.h"
#include "project/ProjectPaths.h"

#include <QFile>
#include <QStringList>

#include <memory>

namespace qavn {

OutputCommands::OutputCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent)
    : session_(session), list_(list), ui_(ui), parent_(parent)
{
    askReservedCodes = [this] { return askReservedCodeChoice(parent_); };
    askChoices = [this](bool offerMerge, bool offerEmptyCells) {
        return askTableChoices(parent_, offerMerge, offerEmptyCells);
    };
    runWritingDialog = [](WorkDialog& dialog) { dialog.exec(); };
    showGeneratedFiles = [this](const std::vector<std::string>& lines, const std::vector<std::string>& hostFiles) {
        GeneratedFilesDialog dialog(lines, hostFiles, parent_);
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
    } else if (format.files == OutputFiles::Folder) {
        auto chosen = ui_.chooseDirectory(session_.settings.outputDir);
        if (!chosen)
            return;
        job.path = *chosen;
    }
    if (format.asksReservedCodes) {
        const std::optional<LabelChoice> choice = askReservedCodes();
        if (!choice)
            return;
        job.labelChoice = *choice;
    }
    const bool offerMerge = (format.choices & outputchoice::merge) != 0 &&
                            canMergeByIdentifier(session_.project, list_.taggedRows());
    const bool offerEmptyCells = (format.choices & outputchoice::emptyCells) != 0;
    if (offerMerge || offerEmptyCells) {
        const std::optional<TableChoices> choices = askChoices(offerMerge, offerEmptyCells);
        if (!choices)
            return;
        job.merge = choices->merge;
        job.reservedCodes = choices->emptyCells ? ReservedCodes::Empty : ReservedCodes::Keep;
    }

    const WriterServices services{list_,          session_.store, session_.project,
                                  session_.settings, ui_,         session_.projectId,
                                  session_.metadata ? &*session_.metadata : nullptr};
    // The output runs once the writing dialog is on screen; the dialog is its
    // progress bar (one file) or record counter (several) and cancel flag.
    std::unique_ptr<WorkDialog> dialog;
    OutputResult result;
    auto work = [&] { result = writeOutput(format, services, job, *dialog); };
    if (format.files == OutputFiles::Several) {
        dialog = std::make_unique<ExportDialog>(parent_, work);
    } else {
        auto writing = std::make_unique<LoadingDialog>(parent_, work);
        writing->setMessage(latin1(writingDialogText));
        dialog = std::move(writing);
    }
    runWritingDialog(*dialog);
    dialog.reset();
    if (note)
        note(outputNote(result));
    if (format.files == OutputFiles::Several && result.status == OutputStatus::Written)
        showGeneratedFiles(generatedFilesLines(result.generatedFiles), result.generatedHostFiles);
}

QString OutputCommands::outputNote(const OutputResult& result)
{
    std::vector<std::string> files = result.generatedHostFiles;
    if (files.empty() && !result.fileName.empty() && result.status == OutputStatus::Written)
        files.push_back(chosenHostPath(result.fileName).string());
    QStringList paths;
    for (const std::string& file : files)
        paths.append(QFile::decodeName(QByteArray::fromStdString(file)));
    switch (result.status) {
    case OutputStatus::Written:
        if (paths.size() == 1)
            return QStringLiteral("Written: ") + paths.front();
        return QStringLiteral("Written %1 files: ").arg(paths.size()) + paths.join(QStringLiteral(", "));
    case OutputStatus::Stopped:
        if (paths.isEmpty())
            return QStringLiteral("Output stopped: nothing written");
        return QStringLiteral("Output stopped, left incomplete: ") + paths.join(QStringLiteral(", "));
    case OutputStatus::Failed:
        break;
    }
    return QStringLiteral("Output failed: nothing written");
}

std::string OutputCommands::viewOutputFilter()
{
    std::string filter = "SAS Code|*.sas|Codebook|*.txt|SPSS|*.sps|";
    for (const OutputFormat& format : outputFormats()) {
        if (format.kind == OutputKind::AccessDb || format.filter.empty())
            continue;
        // "Name|*.ext|": offered once per extension.
        const std::string_view patterns = format.filter.substr(format.filter.find('|') + 1);
        const std::string pattern(patterns.substr(0, patterns.find('|')));
        if (filter.find("|" + pattern + "|") == std::string::npos)
            filter += std::string(format.filter);
    }
    return filter + "All Files|*|";
}

void OutputCommands::viewOutput()
{
    if (auto chosen = ui_.chooseFile(Ui::FileDialog::Open, viewOutputFilter(), session_.settings.outputDir))
        ui_.openInViewer(*chosen);
}

} // namespace qavn
