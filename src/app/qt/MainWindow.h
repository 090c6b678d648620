#pragma once

// The main window: menu bar, toolbar, variable list, status panes and the
// commands they run.

#include "app/qt/Commands.h"
#include "catalogue/VariableList.h"

#include <QMainWindow>
#include <QPointer>

#include <QElapsedTimer>

#include <functional>
#include <map>
#include <memory>
#include <span>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QSettings;
class QToolBar;

namespace qavn {

class HelpWindow;
class ProjectCommands;
class TablesCommand;
class VerifyCommand;
class QueryBar;
class OpenProject;
class SelectionCommands;
class Ui;
class VariableListView;

// The main window: the menu bar, the toolbar with its ten buttons and the
// label for the active row's file and section, the variable list, and the
// status bar with the message pane, CAP, NUM and the tag pane. CAP and NUM
// show the lock keys' states where the window system tells them (on X);
// elsewhere they stay greyed.
//
// After every modal dialog of a command, and when the Search dialog or a
// description window closes, the window takes the activation and gives the
// list the keyboard (returnFocusToList()). Data sets and configuration files
// dropped on it are imported or opened (ProjectCommands). The active row,
// the query and the description windows' places are kept per project.
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
    // The smallest first size, in logical pixels, where the screen has room.
    static constexpr int minimumFirstWidth = 720;
    static constexpr int minimumFirstHeight = 520;
    // How long after returnFocusToList() a description window that a window
    // manager activates (handing the focus on) gives it back.
    static constexpr int focusGuardMs = 700;
    // Per-project keys under the group projectGroup(): the active row, the
    // query text and the description windows' places.
    static constexpr const char* activeRowKey = "activeRow";
    static constexpr const char* queryKey = "query";

    // The session and the Ui must outlive the window.
    MainWindow(OpenProject& session, Ui& ui, QWidget* parent = nullptr);
    ~MainWindow() override;

    VariableList& variableList() { return list_; }
    VariableListView* listView() const { return view_; }
    QToolBar* toolBar() const { return toolBar_; }
    QLabel* toolbarLabel() const { return toolbarLabel_; }
    QLabel* tagPane() const { return tagPane_; }
    QueryBar* queryBar() const { return query_; }

    QLabel* capPane() const { return capPane_; }
    QLabel* numPane() const { return numPane_; }
    ProjectCommands& projects() const { return *projects_; }

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
    // showDescription with the frequency view, for the context menu.
    void setFrequencyHandler(std::function<void()> handler) { frequency_ = std::move(handler); }

    // The main window becomes the active window and the list (or the list of
    // matches standing in its place) takes the keyboard. A description
    // window activated by the window manager within focusGuardMs after this
    // hands the activation back, so that it neither unpins nor moves.
    void returnFocusToList();

    // A note in the status bar for noteTimeoutMs.
    void showNote(const QString& note);

    // The grid's context menu for `row`: Tag (checked when tagged),
    // Description, Frequency and Copy. showRowMenu() runs it at `globalPos`.
    std::unique_ptr<QMenu> rowMenu(std::uint32_t row);
    void showRowMenu(std::uint32_t row, const QPoint& globalPos);
    // Copy: the row's name and label, a tab between, on the clipboard.
    void copyRow(std::uint32_t row);
    // F3 (forward) and Shift+F3: the next or previous match of the query.
    void goToMatch(bool forward);

    // Help at the anchor `topic` of the help file ("Contents", "Query", ...).
    void showHelpTopic(const QString& topic);

    // The QSettings group of this project's kept state.
    QString projectGroup() const;
    // Something more kept per project: `restore` runs at once when the
    // project has been loaded (else after loading), `save` when the window
    // closes or another project opens; both with the project's group open.
    void addProjectState(std::function<void(QSettings&)> save, std::function<void(QSettings&)> restore);
    // Saves what is kept for the next run (tags, places, the project's
    // state), as closing does.
    void saveState();

    // The lock panes from the window system's state now.
    void updateLockPanes();
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
    // Tools > Tables... and the weighted frequency view.
    TablesCommand& tablesCommand() { return *tables_; }
    // The tags kept between runs and the named selections.
    SelectionCommands& selections() const { return *selections_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restorePlace();
    void savePlace();
    void fitIntoScreen();
    void fillRecentMenu();
    void restoreProjectState();
    // The rows the Move and Tag commands walk: the matches while only they
    // are shown, else none (the whole list).
    bool onlyMatches() const;
    // The window active, the list (or the matches) with the keyboard.
    void focusList();
    std::span<const std::uint32_t> shownRows() const;
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
    QLabel* capPane_ = nullptr;
    QLabel* numPane_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    QPointer<HelpWindow> help_;
    std::function<void()> frequency_;
    std::function<void()> description_;
    QElapsedTimer focusGuard_;
    unsigned modalShown_ = 0; // modal windows shown so far
    bool projectRestored_ = false;
    bool stateSaved_ = false;
    std::vector<std::pair<std::function<void(QSettings&)>, std::function<void(QSettings&)>>> projectStates_;
    std::unique_ptr<ProjectCommands> projects_;
    std::map<int, QAction*> actions_;
    std::map<int, QAction*> menuTwins_;
    std::map<int, std::function<void()>> handlers_;
    std::function<void()> closeHandler_;
    std::unique_ptr<VerifyCommand> verify_;
    std::unique_ptr<TablesCommand> tables_;
    std::unique_ptr<SelectionCommands> selections_;
};

} // namespace qavn
