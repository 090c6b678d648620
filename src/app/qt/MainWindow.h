#pragma once

#include "app/qt/Commands.h"
#include "catalogue/VariableList.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QToolBar;

namespace qavn {

class HelpWindow;
class VerifyCommand;
class QueryBar;
class OpenProject;
class SelectionCommands;
class Ui;
class VariableListView;

// The main window: the menu bar, the toolbar with its ten buttons and the
// label for the active row's file and section, the variable list, and the
// status bar with the message pane, CAP, NUM and the tag pane.
//
// Every command is a QAction carrying its ID in data(). The Move, Tag, Help,
// About and Exit commands are handled here; others get their handler through
// setCommandHandler() and stay greyed until they have one.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int maxLabelText = 99;
    // How long a note (tags restored or saved, a selection loaded) stays in
    // the status bar.
    static constexpr int noteTimeoutMs = 15000;
    static constexpr const char* initialTitle = "Varibrow";
    // The window's size and place are kept between runs in the user's
    // settings (QSettings "QAVN"/"qavn", key "mainWindow/geometry"), saved
    // when a loaded window closes; the first start opens it at the default
    // size, within the screen.
    static constexpr const char* settingsOrganisation = "QAVN";
    static constexpr const char* settingsApplication = "qavn";
    static constexpr const char* geometryKey = "mainWindow/geometry";
    static constexpr int defaultWidth = 960;
    static constexpr int defaultHeight = 680;

    // The session and the Ui must outlive the window.
    MainWindow(OpenProject& session, Ui& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    VariableList& variableList() { return list_; }
    VariableListView* listView() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* toolbarLabel() const { return toolbarLabel_; }
    QLabel* tagPane() const { return tagPane_; }
    QueryBar* queryBar() const { return query_; }

    // The action of a command ID, or nullptr.
    QAction* action(int id) const;
    // Runs `handler` for the command; the keyboard focus goes back to the
    // variable list afterwards. Replaces any earlier handler.
    void setCommandHandler(int id, std::function<void()> handler);
    bool hasCommandHandler(int id) const;
    // Runs a command as the menu would, when it is enabled.
    bool trigger(int id);

    // showDescription: called for a double-click on a row text and for the
    // cell notification, with the active row already set.
    void setDescriptionHandler(std::function<void()> handler);
    // The application's closing steps, run before the window closes.
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

    // Greys or enables every command from the session's command state and
    // dataOnCd. Done by itself when the command state changes (the window is
    // its listener while it exists), before loading (dataOnCd has been found
    // then) and when a menu opens; callers that change dataOnCd later call it
    // to see the effect at once.
    void updateCommandStates();

    // Loads every variable under the loading dialog. On success the list is
    // shown with row 1 active, it has the focus and the title is set; a
    // cancel shows its message and returns false.
    bool loadProject();

    // "%s: %s" with the data file's fileTitle and the section title of `row`,
    // at most 99 characters. The label keeps its text when the record cannot
    // be read.
    void updateToolbarLabel(std::uint32_t row);

    void showHelpContents();
    void showAbout();
    HelpWindow* helpWindow() const;
    // Tools > Verify Codebook Against Data... and the figures of variables
    // without category lines.
    VerifyCommand& verifyCommand() { return *verify_; }
    // The tags kept between runs and the named selections.
    SelectionCommands& selections() const { return *selections_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void restorePlace();
    void savePlace();
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void installDefaultHandlers();
    void runCommand(int id);
    void showTagCount(quint32 count);

    OpenProject& session_;
    Ui& ui_;
    VariableList list_;
    VariableListView* view_ = nullptr;
    QueryBar* query_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* toolbarLabel_ = nullptr;
    QLabel* tagPane_ = nullptr;
    QPointer<HelpWindow> help_;
    std::map<int, QAction*> actions_;
    std::map<int, QAction*> menuTwins_;
    std::map<int, std::function<void()>> handlers_;
    std::function<void()> closeHandler_;
    std::unique_ptr<VerifyCommand> verify_;
    std::unique_ptr<SelectionCommands> selections_;
};

} // namespace qavn
