#pragma once

// The writer driver of the one-file outputs: naming, the file, progress, Cancel
// and write failures.

#include <string>
#include <string_view>
#include <vector>

namespace qavn {

class CodebookStore;
class ProjectMetadata;
class FileTextOutput;
class Progress;
class Ui;
class VariableList;
class WriterContext;
enum class LabelChoice;
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
    // The project ID, which names the configuration and project
    // specification files; empty when the run has none (tests).
    std::string_view projectId = {};
    // The project's metadata (long names, declared missing values, display
    // formats); nullptr for a project without it.
    const ProjectMetadata* metadata = nullptr;
};

// A writer of one output file (see ProgramWriters.h): handed the context with
// the tagged list collected and the file open; returns false when it stopped
// early.
using WriterFunction = bool (*)(WriterContext& context);

// One run of a one-file output, as the dialogs before the writing dialog
// collected it.
struct WriterRequest {
    WriterFunction write = nullptr;
    std::string_view defaultExtension; // ".SAS", added by the naming rule
    LabelChoice labelChoice{};         // NotAsked for the outputs that do not ask
    std::string chosenPath;            // as the save dialog returned it
    bool merge = false;                // the programs that can: one data set matched by the identifier
    bool longNames = true;             // the programs that can hold them: the metadata's long names
};

enum class OutputStatus {
    Written, // the output ran to its end and its files reached the disk
    Stopped, // Cancel, or an input that could not be read: a codebook record, raw data (already reported)
    Failed,  // a file could not be opened or written, or its name was refused (reported)
};

struct OutputResult {
    OutputStatus status = OutputStatus::Failed;
    std::string fileName;                    // after the naming rule; empty for the data export
    std::vector<std::string> generatedFiles; // what the data export listed
    // Every file the run left on disk as this host names it: the one file of
    // the writer driver, the data export's list without its empty first entry.
    std::vector<std::string> generatedHostFiles;
};

// Step 1 of every output command: with nothing tagged, shows "No Tagged Item
// !\nPlease Tag Items First." and returns false.
bool checkTaggedItems(const VariableList& list, Ui& ui);

// The save dialog asks before the chosen file is replaced, but the naming
// rule may add an extension and so name another file ("RESULT" becomes
// "RESULT.SAS"). When that other file exists, asks "<name> already exists.\n
// Do you want to replace it?"; returns false when the answer is No, so that
// nothing is truncated the user did not agree to.
bool confirmReplacement(std::string_view chosenPath, std::string_view defaultExtension, Ui& ui);

// The writer driver, run once the writing dialog is on screen; `progress` is
// that dialog's bar and cancel flag (set to 0..300 here).
//
// 1. Starts the output file named by outputFileName(), taken as the user gave
//    it (chosenHostPath: no letter-case matching; a link is written through
//    to the file it names). Refused with a message naming the file, the
//    cancel flag set and nothing written: a name that ends in a folder
//    separator or holds a control character, and a name that is one of the
//    project's own files (projectInputs). When it cannot be opened: error
//    box "Cannot Open " + name with the host path and the system's reason as
//    detail. The bytes go to a temporary file beside it (FileTextOutput); the
//    file under the name is replaced only at the end.
// 2. Collects the tagged rows into the context, with progress.
// 3. Runs the request's writer, then advances the progress by 300.
// 4. Closes the file. When any write failed (a full disk, for example) the
//    writer is stopped at its next poll, the temporary file is dropped (the
//    file under the name stays as it was) and the error box "Cannot Write "
//    + name + " !\n" + the system's error text is shown; the status is
//    Failed.
// A Cancel or an unreadable record leaves the partly written file on disk
// under its name and shows nothing more.
//
// `output`, when given, is the file object to write through (tests pass one
// set up to fail); otherwise the driver uses its own.
OutputResult runWriterDriver(const WriterServices& services, const WriterRequest& request, Progress& progress,
                             FileTextOutput* output = nullptr);

} // namespace qavn
