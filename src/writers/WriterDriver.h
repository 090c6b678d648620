#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class FileTextOutput;
class Progress;
class Ui;
class VariableList;
class WriterContext;
struct ProjectSpec;
struct Settings;

// What an output run reads: the catalogue with its tags, the open codebook,
// the project and the settings, and the Ui for messages and pump steps.
struct WriterServices {
    const VariableList& list;
    CodebookStore& store;
    const ProjectSpec& project;
    const Settings& settings;
    Ui& ui;
};

// What the dialogs before the writing dialog collected.
struct WriterRequest {
    int kind = 0;           // 1-6, see OutputKind
    int reservedChoice = 0; // 11, 12, 13 for the program kinds; 0 otherwise
    std::string chosenPath; // as the save dialog returned it; empty for kind 6
};

// The data export (kind 6) lives in its own area; the caller hands it in so
// that the writers do not depend on it. It receives the context with the
// tagged list collected and no output file, runs with the export's own dialog
// (template 145, where the context's progress() does nothing) and fills
// context.generatedFiles. It returns false when it stopped early.
using AccessExportRunner = std::function<bool(WriterContext&)>;

enum class OutputStatus {
    Written, // the writer ran to its end and the file reached the disk
    Stopped, // Cancel, or an unreadable codebook record (already reported)
    Failed,  // the file could not be opened or written (reported here)
};

struct OutputResult {
    OutputStatus status = OutputStatus::Failed;
    std::string fileName;                    // after the naming rule; empty for kind 6
    std::vector<std::string> generatedFiles; // what the data export listed
};

// Step 1 of every output command: with nothing tagged, shows "No Tagged Item
// !\nPlease Tag Items First." and returns false.
bool checkTaggedItems(const VariableList& list, Ui& ui);

// The save dialog asks before the chosen file is replaced, but the naming
// rule may add an extension and so name another file ("RESULT" becomes
// "RESULT.SAS"). When that other file exists, asks "<name> already exists.\n
// Do you want to replace it?"; returns false when the answer is No, so that
// nothing is truncated the user did not agree to.
bool confirmReplacement(std::string_view chosenPath, int kind, Ui& ui);

// The writer driver, run once the writing dialog is on screen; `progress` is
// that dialog's bar and cancel flag (set to 0..300 here for kinds 1-5).
//
// 1. Unless the kind is 6, opens the output file named by outputFileName()
//    (replacing any file of that name). When it cannot be opened: error box
//    "Cannot Open " + name, the cancel flag is set, nothing is written.
// 2. Collects the tagged rows into the context, with progress.
// 3. Runs the kind's writer (kind 6: `accessExport`; without one nothing
//    happens), then advances the progress by 300.
// 4. Closes the file. When any write failed (a full disk, for example) the
//    writer is stopped at its next poll and the error box "Cannot Write " +
//    name + " !\n" + the system's error text is shown; the status is Failed.
// A Cancel or an unreadable record leaves the partly written file on disk
// and shows nothing more.
//
// `output`, when given, is the file object to write through (tests pass one
// set up to fail); otherwise the driver uses its own.
OutputResult runWriterDriver(const WriterServices& services, const WriterRequest& request, Progress& progress,
                             const AccessExportRunner& accessExport = {}, FileTextOutput* output = nullptr);

} // namespace qavn
