#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace qavn {

class OpenProject;
class Ui;
class VariableList;
class WorkDialog;

// File > Output (SAS-PC, SPSS, Codebook Text, Tag File, Access DB) and File >
// View Output: the dialogs in their order around the writer driver.
class OutputCommands {
public:
    OutputCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent);

    // An output run of `kind` (1-6): nothing tagged → the message; then, but
    // for the data export, the save dialog and, for the program kinds, the
    // Confirmation dialog; then the writing dialog runs the writer.
    void run(int kind);
    // The open dialog for generated files, then the text viewer.
    void viewOutput();

    // The modal steps, replaceable so that tests can answer them.
    std::function<int()> askReservedCodes;
    std::function<void(WorkDialog&)> runWritingDialog;
    std::function<void(const std::vector<std::string>& lines)> showGeneratedFiles;

private:
    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QPointer<QWidget> parent_;
};

} // namespace qavn
