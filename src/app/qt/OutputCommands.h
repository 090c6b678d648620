#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qavn {

class OpenProject;
class Ui;
class VariableList;
class WorkDialog;
enum class LabelChoice;
struct OutputFormat;

// File > Output (SAS-PC, SPSS, Codebook Text, Tag File, Access DB) and File >
// View Output: the dialogs in their order around the outputs.
class OutputCommands {
public:
    OutputCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent);

    // An output run of `format` (an entry of the output format table):
    // nothing tagged → the message; then, for a one-file output, the save
    // dialog and, when the format asks, the Confirmation dialog; then the
    // writing dialog runs the output. An output of several files (the data
    // export) runs under its record-counter dialog, which lists the generated
    // files once the run completed.
    void run(const OutputFormat& format);
    // The open dialog for generated files, then the text viewer.
    void viewOutput();

    // The modal steps, replaceable so that tests can answer them.
    // askReservedCodes returns nothing for Cancel.
    std::function<std::optional<LabelChoice>()> askReservedCodes;
    std::function<void(WorkDialog&)> runWritingDialog;
    std::function<void(const std::vector<std::string>& lines)> showGeneratedFiles;

private:
    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QPointer<QWidget> parent_;
};

} // namespace qavn
