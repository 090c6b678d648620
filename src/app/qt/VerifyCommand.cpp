// Tools > Verify Codebook Against Data and the figures of the frequency view for a
// variable without category lines.

#include "app/qt/VerifyCommand.h"

#include "app/qt/LoadingDialog.h"
#include "catalogue/VariableList.h"
#include "codebook/OpenProject.h"
#include "platform/HostPath.h"
#include "platform/Strings.h"
#include "platform/TextOutput.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "verify/CodebookVerify.h"

#include <numeric>
#include <vector>

namespace qavn {

namespace {

constexpr const char* verifyingText = "Checking the Codebook Against the Data, Please Wait...";
constexpr const char* figuresText = "Reading the Variable's Data, Please Wait...";

} // namespace

VerifyCommand::VerifyCommand(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent)
    : session_(session), list_(list), ui_(ui), parent_(parent)
{
    runDialog = [](WorkDialog& dialog) { dialog.exec(); };
}

void VerifyCommand::run()
{
    if (!list_.shown())
        return;
    const std::string folder = session_.settings.outputDir;
    if (trimmed(folder).empty()) {
        ui_.error("No output directory is set. Choose one with Setup.");
        return;
    }
    std::vector<std::uint32_t> variables = list_.taggedRows();
    const bool tagged = !variables.empty();
    if (!tagged) {
        variables.resize(list_.rowCount());
        std::iota(variables.begin(), variables.end(), 1u);
    }

    std::optional<ReadResult<VerifyReport>> result;
    LoadingDialog* dialog = nullptr;
    LoadingDialog box(parent_, [&] {
        result.emplace(verifyCodebook(variables, session_.store, session_.project, session_.settings, ui_, *dialog));
    });
    dialog = &box;
    box.setMessage(latin1(verifyingText));
    runDialog(box);
    if (!result)
        return;
    if (!*result) {
        ui_.error("Cannot Verify the Codebook !", describe(result->error()));
        return;
    }
    VerifyReport& report = result->value();
    if (report.cancelled)
        return;
    report.projectId = session_.projectId;
    report.scope = tagged ? "the " + std::to_string(variables.size()) +
                                (variables.size() == 1 ? " tagged variable" : " tagged variables")
                          : "every variable";

    const std::string name = folder + "\\" + session_.projectId + reportSuffix;
    FileTextOutput out;
    if (!out.open(name)) {
        ui_.error("Cannot Open " + name, out.openError());
        return;
    }
    for (const std::string& line : verifyReportLines(report)) {
        out.write(line);
        out.write("\n");
    }
    if (!out.close()) {
        ui_.error("Cannot Write " + name + " !\n" + out.errorText());
        return;
    }
    reportPath_ = out.path().string();
    ui_.openInViewer(reportPath_);
}

std::optional<QStringList> VerifyCommand::figuresLines(std::uint32_t variable, QWidget* over)
{
    auto cached = figures_.find(variable);
    if (cached == figures_.end()) {
        std::optional<ReadResult<std::optional<ValueFigures>>> result;
        LoadingDialog* dialog = nullptr;
        LoadingDialog box(over ? over : parent_.data(), [&] {
            result.emplace(
                variableFigures(variable, session_.store, session_.project, session_.settings, ui_, *dialog));
        });
        dialog = &box;
        box.setMessage(latin1(figuresText));
        runDialog(box);
        if (!result)
            return std::nullopt;
        if (!*result) {
            ui_.error("Cannot Read the Data of " + list_.rowName(variable) + " !", describe(result->error()));
            return std::nullopt;
        }
        if (!result->value())
            return std::nullopt;
        cached = figures_.emplace(variable, *result->value()).first;
    }
    QStringList lines;
    lines.append(QStringLiteral("No category lines: figures from the raw data"));
    lines.append(QString());
    for (const std::string& line : qavn::figuresLines(cached->second))
        lines.append(latin1(line));
    return lines;
}

} // namespace qavn
