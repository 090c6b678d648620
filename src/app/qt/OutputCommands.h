#pragma once

// File > Output and View Output: the dialogs around each output of the
// output-format table.

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
struct TableChoices;
struct OutputFormat;
struct OutputResult;

// File > Output (SAS-PC, SPSS, Codebook Text, Tag File, Access DB) and File >
// View Output: the dialogs in their order around the outputs.
class OutputCommands {
public:
    OutputCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent);

    // An output run of `format` (an entry of the output format table):
    // nothing tagged → the message; then, for a one-file output, the save
    // dialog (for a folder output the folder dialog) and, when the format
    // asks, the Confirmation dialog; then the output's choices (matching the
    // data files by their identifier, offered when the tagged variables lie in
    // more than one data file and every one has an identifier; empty cells);
    // then the writing dialog runs the output. An output of several files (the data
    // export) runs under its record-counter dialog, which lists the generated
    // files once the run completed.
    void run(const OutputFormat& format);
    // The open dialog for generated files, then the text viewer. Its filter
    // offers the extensions of every output after the first three.
    void viewOutput();
    static std::string viewOutputFilter();

    // The status note after an output: the files it left, by their paths on
    // this host ("Written: /home/ann/out/RESULT.SAS"), or that it stopped or
    // failed.
    static QString outputNote(const OutputResult& result);

    // The modal steps, replaceable so that tests can answer them.
    // askReservedCodes returns nothing for Cancel.
    std::function<std::optional<LabelChoice>()> askReservedCodes;
    // The choices of an output that offers them (askTableChoices); nothing
    // for Cancel.
    std::function<std::optional<TableChoices>(bool offerMerge, bool offerEmptyCells)> askChoices;
    std::function<void(WorkDialog&)> runWritingDialog;
    // `lines` as the generated-files dialog lists them; `hostFiles` the host
    // paths of the last lines of them, in the same order.
    std::function<void(const std::vector<std::string>& lines, const std::vector<std::string>& hostFiles)>
        showGeneratedFiles;
    // Where the note after each output goes (the status bar).
    std::function<void(const QString&)> note;

private:
    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QPointer<QWidget> parent_;
};

} // namespace qavn
