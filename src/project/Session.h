#pragma once

// One project run without a window: its ID, settings and specification, and the
// start-up steps that read them.

#include "project/CommandState.h"
#include "project/ProjectMetadata.h"
#include "project/ProjectSpec.h"
#include "project/Settings.h"
#include "platform/FunctionRef.h"
#include "platform/ReadError.h"

#include <optional>
#include <string>
#include <string_view>

namespace qavn {

class Ui;

// What the application knows of one project run, without any window: the
// project ID, the settings and the project specification, and the flag that
// greys most commands while a search runs. The codebook files are opened a
// layer up (OpenProject), so that the window and the batch tool start a
// project with the same steps.
class Session {
public:
    explicit Session(Ui& ui) : ui_(&ui) {}

    Ui& ui() const { return *ui_; }

    // Checks the command line (the text after the program name): upper-cased,
    // it must start with "P="; everything after that, trailing blanks
    // included, is the project ID. Otherwise shows the usage message.
    static bool parseCommandLine(std::string_view arguments, std::string& projectId, Ui& ui);
    static constexpr std::string_view usageMessage =
        "Invalid Parameter !\nStart QAVN with setup file.\nQAVN P='project ID'\nEx) QAVN P=ZEL";

    // The start-up steps that read the project's own files: command line,
    // the project's drive file (when it has one), configuration (with
    // `setupDialog` offered when it is missing), project specification and
    // metadata file. Every failure has shown its message when this returns
    // false; a damaged metadata file is no failure: the project opens
    // without it, and the message says so.
    bool readProject(std::string_view arguments, FunctionRef<void(Settings&)> setupDialog);

    // The same steps for a project ID already taken from a valid command
    // line, with the failure returned instead of shown and nothing asked: a
    // missing configuration file is a failure like any other (the batch
    // tool's start, which runs from scripts).
    // A damaged metadata file is no failure here either: see metadataProblem.
    ReadResult<void> loadProject(std::string_view id);

    // The configuration file start-up read and the Setup dialog rewrites.
    std::string configurationFile() const;

    std::string projectId;
    Settings settings;
    ProjectSpec project;
    // The project's metadata file (<prefix>QAV.META in the resource
    // directory), what the outputs take long names, missing values and
    // formats from. Absent for projects without one, which behave as they
    // always did.
    std::optional<ProjectMetadata> metadata;
    // Why a metadata file that exists could not be used; the project then
    // runs without metadata.
    std::optional<ReadError> metadataProblem;
    CommandState commands; // disabled while a search runs

private:
    // Reads the metadata file of the project specification just read.
    void readMetadata();

    Ui* ui_;
};

// The directory of the running program, with a trailing separator.
std::string programDirectory();

} // namespace qavn
