// Tools > Tables... and the weighted frequency view: tables counted from the
// raw data under the progress dialog, kept while the project is open.

#include "app/qt/TablesCommand.h"

#include "app/qt/LoadingDialog.h"
#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "platform/HostPath.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "project/ProjectMetadata.h"
#include "tables/qt/TablesDialog.h"

namespace qavn {

namespace {

constexpr const char* countingText = "Counting the Table from the Data, Please Wait...";

} // namespace

TablesCommand::TablesCommand(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent)
    : session_(session), list_(list), ui_(ui), parent_(parent)
{
    runDialog = [](WorkDialog& dialog) { dialog.exec(); };
}

TablesCommand::~TablesCommand()
{
    delete dialog_.data();
}

TablesDialog* TablesCommand::dialog() const
{
    return dialog_.data();
}

void TablesCommand::run()
{
    if (!list_.shown())
        return;
    if (!dialog_) {
        dialog_ = new TablesDialog(session_.store, session_.metadata ? &*session_.metadata : nullptr, parent_);
        dialog_->compute = [this](const TableRequest& request) { return table(request, dialog_); };
        dialog_->chooseSavePath = [this] { return ui_.chooseFile(Ui::FileDialog::Save, "CSV Files|*.csv|", ""); };
        dialog_->showError = [this](const std::string& text, const std::string& detail) { ui_.error(text, detail); };
        dialog_->onProjectWeight = [this](const std::string& weight) {
            if (weight != projectWeight())
                setProjectWeight(weight);
        };
        dialog_->onHelp = [this] {
            if (onHelp)
                onHelp();
        };
        dialog_->setWeightName(projectWeight());
    }
    dialog_->setRowVariable(list_.activeRow());
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

std::optional<Tabulation> TablesCommand::table(const TableRequest& request, QWidget* over)
{
    const auto cached = tables_.find(request);
    if (cached != tables_.end())
        return cached->second;
    std::optional<ReadResult<Tabulation>> result;
    LoadingDialog* dialog = nullptr;
    LoadingDialog box(over ? over : parent_.data(), [&] {
        result.emplace(tabulate(request, session_.store, session_.project, session_.settings,
                                session_.metadata ? &*session_.metadata : nullptr, ui_, *dialog));
    });
    dialog = &box;
    box.setMessage(latin1(countingText));
    runDialog(box);
    if (!result)
        return std::nullopt;
    if (!*result) {
        ui_.error("Cannot Count the Table !", describe(result->error()));
        return std::nullopt;
    }
    // A cancelled count covers part of the data: shown nowhere, kept nowhere.
    if (result->value().cancelled)
        return std::nullopt;
    return tables_.emplace(request, std::move(*result).value()).first->second;
}

std::string TablesCommand::projectWeight() const
{
    return session_.metadata ? session_.metadata->weight : std::string();
}

bool TablesCommand::setProjectWeight(const std::string& weight)
{
    const std::string name = session_.settings.resourceDir + "\\" + metadataFileName(session_.project.filePrefix);
    // A metadata file that could not be read is never written over: what
    // it holds would be lost.
    if (session_.metadataProblem) {
        ui_.error("Cannot Keep the Weight in " + name + " !",
                  "The file could not be read when the project opened: " + describe(*session_.metadataProblem));
        return false;
    }
    ProjectMetadata metadata = session_.metadata ? *session_.metadata : ProjectMetadata{};
    metadata.weight = weight;
    std::string error;
    if (!writeMetadataFile(toHostPath(name), metadata, error)) {
        ui_.error("Cannot Keep the Weight in " + name + " !", error);
        return false;
    }
    session_.metadata = std::move(metadata);
    if (onWeightChanged)
        onWeightChanged();
    return true;
}

std::optional<FrequencyLines> TablesCommand::frequencyLines(std::uint32_t variable, QWidget* over)
{
    const ProjectMetadata* metadata = session_.metadata ? &*session_.metadata : nullptr;
    const std::string weightName = projectWeight();
    std::uint32_t weight = weightName.empty() ? 0 : findVariable(weightName, session_.store, metadata);
    if (weight != 0 && session_.store.recordAt(weight).typeCode == 'A')
        weight = 0;
    if (weight == 0 || session_.store.recordAt(variable).categoryLineCount == 0)
        return codebookFrequencies(variable, session_.store, metadata);
    TableRequest request;
    request.row = variable;
    request.weight = weight;
    request.missing = MissingValues::Include;
    const std::optional<Tabulation> counted = table(request, over);
    if (!counted)
        return std::nullopt;
    return weightedFrequencies(*counted, session_.store, metadata);
}

std::optional<FrequencyBars> TablesCommand::frequencyBars(std::uint32_t variable, QWidget* over)
{
    const std::optional<FrequencyLines> lines = frequencyLines(variable, over);
    if (!lines)
        return std::nullopt;
    FrequencyBars bars;
    for (const FrequencyLine& line : lines->lines) {
        // The codebook's own lines stay as the list reads them from the store.
        if (lines->weighted())
            bars.lines << latin1(line.code) + QLatin1Char('\t') + latin1(line.frequency) + QLatin1Char('\t') +
                              latin1(line.percent) + QLatin1Char('\t') + latin1(line.label);
        bars.amounts.push_back(line.amount);
        bars.missing.push_back(line.missing);
    }
    bars.summary = latin1(frequencySummary(*lines));
    return bars;
}

} // namespace qavn
