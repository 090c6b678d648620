#pragma once

// Tools > Verify Codebook Against Data and the figures of the frequency view for a
// variable without category lines.

#include "verify/VerifyReport.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace qavn {

class OpenProject;
class Ui;
class VariableList;
class WorkDialog;

// Tools > Verify Codebook Against Data... and the figures the frequency view
// shows for a variable without category lines.
class VerifyCommand {
public:
    // The report file in the output directory: <ID>VERIFY.TXT.
    static constexpr const char* reportSuffix = "VERIFY.TXT";

    VerifyCommand(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent);

    // Checks the tagged variables (every variable when none is tagged) against
    // the raw data under the progress dialog, writes the report into the
    // output directory and opens it in the viewer. A cancelled run writes
    // nothing; unreadable data are shown as a message naming the file.
    void run();

    // The figures of variable `variable` as lines for the frequency view:
    // computed from its data file under the progress dialog the first time,
    // from the session's cache after that. Nothing when the run was cancelled
    // or the data could not be read (the message has been shown). The
    // progress dialog belongs to `over` when given (the window that asked,
    // which then stays in front), else to the main window.
    std::optional<QStringList> figuresLines(std::uint32_t variable, QWidget* over = nullptr);

    // The host path of the last report written; empty before.
    const std::string& reportPath() const { return reportPath_; }

    // Runs the progress dialog; replaceable so that tests can drive it.
    std::function<void(WorkDialog&)> runDialog;

private:
    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QPointer<QWidget> parent_;
    std::map<std::uint32_t, ValueFigures> figures_;
    std::string reportPath_;
};

} // namespace qavn
