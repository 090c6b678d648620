#pragma once

#include "app/ProjectSpec.h"
#include "app/Settings.h"
#include "codebook/CodebookStore.h"
#include "platform/FunctionRef.h"

#include <string>
#include <string_view>

namespace qavn {

class Ui;

// What the application holds for one project run, without any window: the
// settings, the project specification, the open codebook and the flag that
// greys most commands while a search runs. The window and the batch tool
// both start it with the same steps.
class Session {
public:
    explicit Session(Ui& ui) : store(ui), ui_(&ui) {}

    Ui& ui() const { return *ui_; }

    // Checks the command line (the text after the program name): upper-cased,
    // it must start with "P="; everything after that, trailing blanks
    // included, is the project ID. Otherwise shows the usage message.
    static bool parseCommandLine(std::string_view arguments, std::string& projectId, Ui& ui);
    static constexpr std::string_view usageMessage =
        "Invalid Parameter !\nStart QAVN with setup file.\nQAVN P='project ID'\nEx) QAVN P=ZEL";

    // Start-up steps after the main window exists: command line,
    // configuration (with `setupDialog` offered when it is missing), project
    // specification, codebook files, CD-ROM check. Every failure has shown
    // its message when this returns false.
    bool start(std::string_view arguments, FunctionRef<void(Settings&)> setupDialog);

    // The configuration file start-up read and the Setup dialog rewrites.
    std::string configurationFile() const;

    std::string projectId;
    Settings settings;
    ProjectSpec project;
    CodebookStore store;
    int commandsEnabled = 1;

private:
    Ui* ui_;
};

// The directory of the running program, with a trailing separator.
std::string programDirectory();

} // namespace qavn
