#pragma once

// The application object: the project of the run, its main window, start-up and exit.

#include "codebook/OpenProject.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace qavn {

class MainWindow;
class Ui;

// The application object: the session of the one project of the run, the
// main window, and the start-up and exit sequences.
class Application {
public:
    static constexpr std::string_view componentsMessage = "Cannot load DLLs";

    // The Ui must outlive the application object.
    explicit Application(Ui& ui);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Start-up: dialog look, the command state, the grid and rich-text
    // components, the logo, the main window, then the session's steps
    // (command line, configuration, project specification, codebook files,
    // CD-ROM check) and the loading. Any failure has shown its message, and
    // the main window is gone, when this returns false.
    bool start(std::string_view arguments);

    // Exit: the closing steps again (each finds nothing to do when already
    // done). Always called at the end of the run, also after a failed start.
    void exit();

    OpenProject& session() { return session_; }
    MainWindow* mainWindow() const;

    // The Setup dialog in creation mode, run when the configuration file is
    // missing and the user agrees to create it. Until one is set, start-up
    // goes on with the empty settings.
    void setCreationSetupDialog(std::function<void(Settings&)> dialog) { creationSetup_ = std::move(dialog); }

    // Run once the main window exists, before the project is read and
    // loaded: where the features attach their command handlers
    // (MainWindow::setCommandHandler) and the description hook.
    void addMainWindowSetup(std::function<void(MainWindow&)> setup) { windowSetups_.push_back(std::move(setup)); }

    Ui& ui() const { return ui_; }

    // A closing step (closing the search dialog, destroying the description
    // windows), run in the order added, before the data-file list is freed.
    void addClosingStep(std::function<void()> step) { closingSteps_.push_back(std::move(step)); }

    // Whether the platform gives the grid and the rich-text view a screen to
    // work on; replaceable for tests.
    static bool componentsAvailable();
    void setComponentCheck(std::function<bool()> check) { componentCheck_ = std::move(check); }

    // Where the logo picture is read from (default "logo.bmp" in the working
    // directory).
    void setLogoPath(QString path);

private:
    void closingSteps();

    Ui& ui_;
    OpenProject session_;
    QPointer<MainWindow> mainWindow_;
    std::function<void(Settings&)> creationSetup_;
    std::vector<std::function<void()>> closingSteps_;
    std::vector<std::function<void(MainWindow&)>> windowSetups_;
    std::function<bool()> componentCheck_;
    QString logoPath_;
};

} // namespace qavn
