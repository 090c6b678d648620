// The main window: menu bar, toolbar, variable list, status panes and the
// commands they run.

#include "app/qt/MainWindow.h"

#include "codebook/OpenProject.h"
#include "app/qt/AboutDialog.h"
#include "app/qt/HelpWindow.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/LockKeys.h"
#include "app/qt/ProjectCommands.h"
#include "app/qt/TablesCommand.h"
#include "app/qt/VerifyCommand.h"
#include "app/qt/SelectionDialogs.h"
#include "catalogue/Loader.h"
#include "outputs/OutputFormats.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "catalogue/Navigation.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "catalogue/qt/Resources.h"
#include "catalogue/qt/VariableListView.h"
#include "search/qt/QueryBar.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace qavn {

namespace {

// How long a window manager is given to hand the focus on when a window of
// the program goes away.
constexpr int returnFocusDelayMs = 120;
// How often the lock panes look again at the keyboard while nothing else
// tells them (a lock key pressed while another program had the keyboard).
constexpr int lockPollMs = 1000;

} // namespace

MainWindow::MainWindow(OpenProject& session, Ui& ui, QWidget* parent)
    : QMainWindow(parent), session_(session), ui_(ui), list_(VariableList::Mode::Main, &ui)
{
    initResources();
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(latin1(initialTitle));
    setWindowIcon(QIcon(QStringLiteral(":/qavn/qavn.png")));
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    verify_ = std::make_unique<VerifyCommand>(session_, list_, ui_, this);
    tables_ = std::make_unique<TablesCommand>(session_, list_, ui_, this);
    tables_->onHelp = [this] { showHelpTopic(QStringLiteral("Tables")); };
    selections_ = std::make_unique<SelectionCommands>(session_, list_, ui_, this,
                                                      [this](const QString& note) { showNote(note); });
    selections_->setHelp([this] { showHelpTopic(QStringLiteral("Selections")); });
    projects_ = std::make_unique<ProjectCommands>(session_, ui_, this);
    projects_->note = [this](const QString& note) { showNote(note); };
    projects_->help = [this] { showHelpTopic(QStringLiteral("Import")); };
    projects_->beforeLaunch = [this] { saveState(); };
    projects_->afterLaunch = [this] { close(); };

    view_ = new VariableListView(list_, this);
    view_->setAccessibleName(QStringLiteral("Variable list"));
    view_->setHelpHandler([this] { showHelpContents(); });
    view_->setMatchHandler([this](bool forward) { goToMatch(forward); });
    view_->setContextMenuHandler([this](std::uint32_t row, const QPoint& at) { showRowMenu(row, at); });
    connect(view_->variableModel(), &VariableTableModel::activeRowUpdated, this, &MainWindow::updateToolbarLabel);
    connect(view_->variableModel(), &VariableTableModel::tagCountUpdated, this, &MainWindow::showTagCount);
    // The list stays hidden until loading has filled it.
    auto* centre = new QWidget(this);
    centre->setObjectName(QStringLiteral("listArea"));
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->hide();
    // The query line above the list, and the list of its matches alone.
    query_ = new QueryBar(list_, session_.store, session_.project, view_, centre);
    query_->setHelpHandler([this] { showHelpTopic(QStringLiteral("Query")); });
    query_->setMatchHandler([this](bool forward) { goToMatch(forward); });
    query_->setContextMenuHandler([this](std::uint32_t row, const QPoint& at) { showRowMenu(row, at); });
    layout->insertWidget(0, query_);
    layout->addWidget(query_->matchesView());
    query_->hide();
    setCentralWidget(centre);

    // F3 and Shift+F3 anywhere in the window: the next and previous match.
    auto* next = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(next, &QShortcut::activated, this, [this] { goToMatch(true); });
    auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), this);
    connect(previous, &QShortcut::activated, this, [this] { goToMatch(false); });

    setAcceptDrops(true);
    installDefaultHandlers();
    updateCommandStates();
    // A running search disables the commands and enables them again when it
    // ends; the window follows at once.
    session_.commands.setListener([this](bool) { updateCommandStates(); });
    restorePlace();

    // The focus guard, the modal dialogs of a command and the lock keys are
    // seen in every window of the program.
    qApp->installEventFilter(this);
    auto* lockPoll = new QTimer(this);
    connect(lockPoll, &QTimer::timeout, this, [this] {
        if (isActiveWindow())
            updateLockPanes();
    });
    lockPoll->start(lockPollMs);
    updateLockPanes();
}

void MainWindow::restorePlace()
{
    const QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
    if (restoreGeometry(settings.value(QString::fromLatin1(geometryKey)).toByteArray())) {
        fitIntoScreen();
        return;
    }
    // A first start: a window roomy enough for the list's labels, within the
    // screen's room in logical pixels (which a scale factor makes small).
    QSize size(defaultWidth, defaultHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        // Room for the frame the window manager adds.
        const QSize room = (area.size() - QSize(16, 48)).expandedTo(QSize(1, 1));
        size = size.boundedTo(area.size() * 9 / 10)
                   .expandedTo(QSize(minimumFirstWidth, minimumFirstHeight))
                   .boundedTo(room);
        resize(size);
        move(area.topLeft() + QPoint(std::max(0, (area.width() - size.width()) / 2),
                                     std::max(0, (area.height() - size.height() - 32) / 2)));
        return;
    }
    resize(size);
}

void MainWindow::fitIntoScreen()
{
    // Kept from a larger screen (or a smaller scale): made to fit this one.
    const QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize room = (area.size() - QSize(16, 48)).expandedTo(QSize(1, 1));
    if (width() > room.width() || height() > room.height())
        resize(size().boundedTo(room));
    QRect frame = frameGeometry();
    if (!area.contains(frame)) {
        QPoint topLeft = frame.topLeft();
        topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
        topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
        move(topLeft);
    }
}

void MainWindow::savePlace()
{
    QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
    settings.setValue(QString::fromLatin1(geometryKey), saveGeometry());
}

MainWindow::~MainWindow()
{
    // The query bar's thread may still be reading the list.
    delete query_;
    query_ = nullptr;
    // A window that goes without being closed keeps its tags too.
    selections_->saveKeptTags();
    session_.commands.setListener(nullptr);
}

void MainWindow::createActions()
{
    for (const CommandInfo& info : commandTable()) {
        auto* action = new QAction(latin1(info.menuText), this);
        action->setData(info.id);
        action->setObjectName(QStringLiteral("command%1").arg(info.id));
        if (info.prompt[0] != '\0')
            action->setStatusTip(latin1(info.prompt));
        if (info.toolTip[0] != '\0')
            action->setToolTip(latin1(info.toolTip));
        if (info.icon != nullptr)
            action->setIcon(QIcon(QString::fromLatin1(info.icon)));
        // The menu has no keyboard accelerators: F1 reaches help through the
        // list's own key handling.
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setIconVisibleInMenu(false);
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        actions_[id] = action;
    }
}

void MainWindow::createMenus()
{
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->addAction(action(command::openProject));
    file->addAction(action(command::importDataSet));
    recentMenu_ = file->addMenu(QStringLiteral("Recent Projects"));
    recentMenu_->setObjectName(QStringLiteral("recentProjects"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    file->addSeparator();
    QMenu* output = file->addMenu(QStringLiteral("Output"));
    QMenu* otherFormats = nullptr;
    for (const OutputFormat& format : outputFormats()) {
        if (format.command.id == 0)
            continue;
        if (format.command.otherFormats && !otherFormats)
            otherFormats = output->addMenu(QStringLiteral("Other Formats"));
        (format.command.otherFormats ? otherFormats : output)->addAction(action(format.command.id));
    }
    file->addAction(action(command::viewOutput));
    file->addSeparator();
    file->addAction(action(command::importTagFiles));
    file->addAction(action(command::saveSelection));
    file->addAction(action(command::loadSelection));
    file->addSeparator();
    file->addAction(action(command::setup));
    file->addAction(action(command::exit));

    QMenu* move = bar->addMenu(QStringLiteral("&Move"));
    move->addAction(action(command::topOfList));
    move->addAction(action(command::prevSection));
    move->addAction(action(command::nextSection));
    move->addAction(action(command::bottomOfList));
    move->addSeparator();
    move->addAction(action(command::prevFile));
    move->addAction(action(command::nextFile));

    QMenu* tag = bar->addMenu(QStringLiteral("&Tag"));
    tag->addAction(action(command::tagItem));
    tag->addAction(action(command::untagItem));
    tag->addAction(action(command::clearAllTag));
    tag->addSeparator();
    tag->addAction(action(command::prevTag));
    tag->addAction(action(command::nextTag));

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->addAction(action(command::description));
    view->addAction(action(command::taggedItems));

    // A menu bar shows an action's picture instead of its text, so the bar
    // gets a text-only twin of the toolbar's Search action.
    auto* searchItem = new QAction(action(command::search)->text(), this);
    searchItem->setData(command::search);
    searchItem->setStatusTip(action(command::search)->statusTip());
    connect(searchItem, &QAction::triggered, this, [this] { runCommand(command::search); });
    menuTwins_.emplace(command::search, searchItem);
    bar->addAction(searchItem);

    QMenu* tools = bar->addMenu(QStringLiteral("T&ools"));
    tools->addAction(action(command::verifyCodebook));
    tools->addAction(action(command::tables));

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(action(command::helpContents));
    help->addAction(action(command::about));

    for (QMenu* menu : {file, output, move, tag, view, tools, help})
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::updateCommandStates);
}

void MainWindow::createToolBar()
{
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(16, 15));
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->toggleViewAction()->setEnabled(false);
    for (int id : toolbarLayout()) {
        if (id == 0)
            toolBar_->addSeparator();
        else
            toolBar_->addAction(action(id));
    }
    auto* gap = new QWidget(toolBar_);
    gap->setFixedWidth(12);
    toolBar_->addWidget(gap);
    toolbarLabel_ = new QLabel(QString(11, QLatin1Char(' ')), toolBar_);
    toolbarLabel_->setObjectName(QStringLiteral("toolbarLabel"));
    toolbarLabel_->setAccessibleName(QStringLiteral("Data file and section"));
    toolbarLabel_->setMinimumWidth(340);
    toolbarLabel_->setFixedHeight(18);
    toolbarLabel_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    toolBar_->addWidget(toolbarLabel_);
}

void MainWindow::createStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    // The message pane shows the command prompts, and "Ready" when idle.
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& message) {
        if (message.isEmpty())
            bar->showMessage(QStringLiteral("Ready"));
    });
    bar->showMessage(QStringLiteral("Ready"));

    const auto pane = [bar](const QString& name, const QString& text, const QString& sizedBy) {
        auto* label = new QLabel(text, bar);
        label->setObjectName(name);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(sizedBy) + 8);
        bar->addPermanentWidget(label);
        return label;
    };
    // Greyed while the lock is off, or where the platform does not tell.
    capPane_ = pane(QStringLiteral("capIndicator"), QStringLiteral("CAP"), QStringLiteral("CAP"));
    numPane_ = pane(QStringLiteral("numIndicator"), QStringLiteral("NUM"), QStringLiteral("NUM"));
    capPane_->setEnabled(false);
    numPane_->setEnabled(false);
    tagPane_ = pane(QStringLiteral("tagPane"), QString(), QStringLiteral("Tag 000000 "));
    tagPane_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    showTagCount(0);
}

QAction* MainWindow::action(int id) const
{
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::setCommandHandler(int id, std::function<void()> handler)
{
    if (!action(id))
        return;
    if (handler)
        handlers_[id] = std::move(handler);
    else
        handlers_.erase(id);
    updateCommandStates();
}

bool MainWindow::hasCommandHandler(int id) const
{
    return handlers_.count(id) != 0;
}

bool MainWindow::trigger(int id)
{
    QAction* a = action(id);
    if (!a)
        return false;
    updateCommandStates();
    if (!a->isEnabled())
        return false;
    a->trigger();
    return true;
}

void MainWindow::setDescriptionHandler(std::function<void()> handler)
{
    description_ = handler;
    query_->setDescriptionHandler(handler);
    view_->setDescriptionHandler(std::move(handler));
}

void MainWindow::updateCommandStates()
{
    for (const CommandInfo& info : commandTable()) {
        bool enabled = false;
        switch (info.enabledBy) {
        case EnabledBy::CommandsEnabled:
            enabled = session_.commands.enabled();
            break;
        case EnabledBy::DataOnCd:
            enabled = session_.settings.dataOnCd;
            break;
        case EnabledBy::Always:
            enabled = true;
            break;
        }
        const bool on = enabled && hasCommandHandler(info.id);
        action(info.id)->setEnabled(on);
        const auto twin = menuTwins_.find(info.id);
        if (twin != menuTwins_.end())
            twin->second->setEnabled(on);
    }
    if (query_)
        query_->setCommandsEnabled(session_.commands.enabled());
}

void MainWindow::installDefaultHandlers()
{
    // While only the matches are shown, the Move commands and Prev Tag and
    // Next Tag walk them alone.
    setCommandHandler(command::topOfList, [this] {
        onlyMatches() ? goToTopOfList(list_, shownRows()) : goToTopOfList(list_);
    });
    setCommandHandler(command::bottomOfList, [this] {
        onlyMatches() ? goToBottomOfList(list_, shownRows()) : goToBottomOfList(list_);
    });
    setCommandHandler(command::nextSection, [this] {
        onlyMatches() ? goToNextSection(list_, session_.store, shownRows()) : goToNextSection(list_, session_.store);
    });
    setCommandHandler(command::prevSection, [this] {
        onlyMatches() ? goToPrevSection(list_, session_.store, shownRows()) : goToPrevSection(list_, session_.store);
    });
    setCommandHandler(command::nextFile, [this] {
        onlyMatches() ? goToNextFile(list_, shownRows()) : goToNextFile(list_, session_.store, session_.project);
    });
    setCommandHandler(command::prevFile, [this] {
        onlyMatches() ? goToPrevFile(list_, shownRows()) : goToPrevFile(list_, session_.store, session_.project);
    });
    setCommandHandler(command::tagItem, [this] { list_.tagRow(list_.activeRow()); });
    setCommandHandler(command::untagItem, [this] { list_.untagRow(list_.activeRow()); });
    setCommandHandler(command::clearAllTag, [this] { list_.clearAllTags(); });
    setCommandHandler(command::prevTag, [this] { onlyMatches() ? goToPrevTag(list_, shownRows()) : goToPrevTag(list_); });
    setCommandHandler(command::nextTag, [this] { onlyMatches() ? goToNextTag(list_, shownRows()) : goToNextTag(list_); });
    setCommandHandler(command::helpContents, [this] { showHelpContents(); });
    setCommandHandler(command::about, [this] { showAbout(); });
    setCommandHandler(command::exit, [this] { close(); });
    setCommandHandler(command::verifyCodebook, [this] { verify_->run(); });
    setCommandHandler(command::tables, [this] { tables_->run(); });
    setCommandHandler(command::saveSelection, [this] { selections_->saveSelection(); });
    setCommandHandler(command::loadSelection, [this] { selections_->loadSelection(); });
    setCommandHandler(command::openProject, [this] { projects_->openProject(); });
    setCommandHandler(command::importDataSet, [this] { projects_->importDataSet(); });
}

bool MainWindow::onlyMatches() const
{
    return query_ && query_->onlyMatchesShown();
}

std::span<const std::uint32_t> MainWindow::shownRows() const
{
    return query_->matches();
}

void MainWindow::runCommand(int id)
{
    const auto it = handlers_.find(id);
    if (it == handlers_.end())
        return;
    // The list has no rows to act on until loading has shown it.
    const CommandInfo* info = findCommand(id);
    const bool needsList = info && info->enabledBy == EnabledBy::CommandsEnabled && id != command::setup &&
                           id != command::viewOutput && id != command::openProject && id != command::importDataSet;
    if (needsList && !list_.shown())
        return;
    const std::function<void()> handler = it->second;
    const unsigned modals = modalShown_;
    handler();
    if (id == command::exit || !isVisible())
        return;
    // The list has the keyboard after every command; after a modal dialog
    // the window takes the activation back too.
    if (modalShown_ != modals) {
        returnFocusToList();
    } else if (QWidget* shown = onlyMatches() ? static_cast<QWidget*>(query_->matchesView()) : view_;
               shown && shown->isVisible()) {
        shown->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::returnFocusToList()
{
    if (!list_.shown() || !isVisible())
        return;
    focusList();
    focusGuard_.start();
    // A window manager may hand the activation to another window of the
    // program when one goes away, and do it only after this request; the
    // window takes it back once that is done.
    QTimer::singleShot(returnFocusDelayMs, this, [this] {
        QWidget* active = QApplication::activeWindow();
        if (active == this || QApplication::activeModalWidget() || QApplication::activePopupWidget())
            return;
        if (active && !qobject_cast<DescriptionWindow*>(active))
            return;
        focusList();
    });
}

void MainWindow::focusList()
{
    activateWindow();
    QWidget* shown = onlyMatches() ? static_cast<QWidget*>(query_->matchesView()) : view_;
    if (shown && shown->isVisible())
        shown->setFocus(Qt::OtherFocusReason);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
        // A modal dialog of this window (one of another window, such as the
        // progress of a description window's figures, gives that window
        // back its activation itself).
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->isWindow() && widget->isModal() &&
                                                            (!widget->parentWidget() || widget->parentWidget()->window() == this))
            ++modalShown_;
        break;
    case QEvent::WindowActivate:
        // Handed on by the window manager, not chosen by the user: a click
        // presses a button or lands on the window.
        if (auto* description = qobject_cast<DescriptionWindow*>(watched);
            description && focusGuard_.isValid() && focusGuard_.elapsed() < focusGuardMs &&
            QGuiApplication::mouseButtons() == Qt::NoButton &&
            !description->frameGeometry().contains(QCursor::pos())) {
            QTimer::singleShot(0, this, &MainWindow::focusList);
        }
        if (watched == this)
            updateLockPanes();
        break;
    case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_CapsLock || key == Qt::Key_NumLock) && watched == QApplication::focusWidget())
            updateLockPanes();
        break;
    }
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::updateLockPanes()
{
    const std::optional<LockKeyStates> states = lockKeyStates();
    capPane_->setEnabled(states && states->capsLock);
    numPane_->setEnabled(states && states->numLock);
}

void MainWindow::showNote(const QString& note)
{
    statusBar()->showMessage(note, noteTimeoutMs);
}

std::unique_ptr<QMenu> MainWindow::rowMenu(std::uint32_t row)
{
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("rowMenu"));
    const bool enabled = session_.commands.enabled();
    QAction* tag = menu->addAction(QStringLiteral("&Tag"));
    tag->setObjectName(QStringLiteral("rowTag"));
    tag->setCheckable(true);
    tag->setChecked(list_.isTagged(row));
    tag->setEnabled(enabled);
    connect(tag, &QAction::triggered, this, [this, row] { list_.toggleTag(row); });
    QAction* description = menu->addAction(QStringLiteral("&Description"));
    description->setObjectName(QStringLiteral("rowDescription"));
    description->setEnabled(enabled && description_ != nullptr);
    connect(description, &QAction::triggered, this, [this, row] {
        if (list_.goToRow(row) == 1 && description_)
            description_();
    });
    QAction* frequency = menu->addAction(QStringLiteral("&Frequency"));
    frequency->setObjectName(QStringLiteral("rowFrequency"));
    frequency->setEnabled(enabled && frequency_ != nullptr);
    connect(frequency, &QAction::triggered, this, [this, row] {
        if (list_.goToRow(row) == 1 && frequency_)
            frequency_();
    });
    menu->addSeparator();
    QAction* copy = menu->addAction(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("rowCopy"));
    copy->setShortcut(QKeySequence::Copy);
    connect(copy, &QAction::triggered, this, [this, row] { copyRow(row); });
    return menu;
}

void MainWindow::showRowMenu(std::uint32_t row, const QPoint& globalPos)
{
    const std::unique_ptr<QMenu> menu = rowMenu(row);
    menu->exec(globalPos);
}

void MainWindow::copyRow(std::uint32_t row)
{
    if (row >= 1 && row <= list_.rowCount())
        QGuiApplication::clipboard()->setText(VariableListView::clipboardText(list_, row));
}

void MainWindow::goToMatch(bool forward)
{
    if (!list_.shown() || !session_.commands.enabled())
        return;
    switch (query_->goToMatch(forward)) {
    case 0:
        showNote(query_->matches().empty() ? QStringLiteral("No match of the query")
                                           : QStringLiteral("The query is still running"));
        break;
    case 2:
        showNote(forward ? QStringLiteral("Passed the end of the list: back to the first match")
                         : QStringLiteral("Passed the top of the list: on to the last match"));
        break;
    default:
        break;
    }
}

QString MainWindow::projectGroup() const
{
    const QByteArray key = QFile::encodeName(projects_->currentConfigurationFile());
    return QStringLiteral("projects/") +
           QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

void MainWindow::addProjectState(std::function<void(QSettings&)> save, std::function<void(QSettings&)> restore)
{
    if (projectRestored_ && restore) {
        QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
        settings.beginGroup(projectGroup());
        restore(settings);
    }
    projectStates_.emplace_back(std::move(save), std::move(restore));
}

void MainWindow::restoreProjectState()
{
    QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
    settings.beginGroup(projectGroup());
    const auto row = settings.value(QString::fromLatin1(activeRowKey)).toUInt();
    if (row >= 1 && row <= list_.rowCount())
        list_.goToRow(row);
    const QString query = settings.value(QString::fromLatin1(queryKey)).toString();
    if (!query.isEmpty())
        query_->queryEdit()->setText(query);
    for (const auto& [save, restore] : projectStates_)
        if (restore)
            restore(settings);
    projectRestored_ = true;
}

void MainWindow::saveState()
{
    selections_->saveKeptTags();
    if (!list_.shown())
        return;
    savePlace();
    QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
    settings.beginGroup(projectGroup());
    settings.setValue(QString::fromLatin1(activeRowKey), list_.activeRow());
    settings.setValue(QString::fromLatin1(queryKey), query_->queryEdit()->text());
    for (const auto& [save, restore] : projectStates_)
        if (save)
            save(settings);
}

void MainWindow::fillRecentMenu()
{
    recentMenu_->clear();
    const QString current = projects_->currentConfigurationFile();
    int n = 0;
    for (const QString& path : projects_->recentProjects()) {
        if (path == current)
            continue;
        ++n;
        const QString id = QFileInfo(path).fileName().chopped(7).toUpper();
        QAction* item = recentMenu_->addAction(QStringLiteral("&%1 %2 - %3").arg(n).arg(id, QDir::toNativeSeparators(path)));
        item->setEnabled(session_.commands.enabled());
        connect(item, &QAction::triggered, this, [this, path] { projects_->openProjectFile(path); });
    }
    if (n == 0) {
        recentMenu_->addAction(QStringLiteral("(none)"))->setEnabled(false);
        return;
    }
    recentMenu_->addSeparator();
    connect(recentMenu_->addAction(QStringLiteral("&Clear List")), &QAction::triggered, this,
            [this] { projects_->clearRecent(); });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!event->mimeData()->hasUrls() || !session_.commands.enabled())
        return;
    for (const QUrl& url : event->mimeData()->urls()) {
        const QString path = url.toLocalFile();
        if (!path.isEmpty() && (ProjectCommands::isConfigurationFile(path) || ProjectCommands::isDataSet(path))) {
            event->acceptProposedAction();
            return;
        }
    }
}

void MainWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (!url.toLocalFile().isEmpty())
            paths.append(url.toLocalFile());
    event->acceptProposedAction();
    // After the drop has finished: the import dialog is modal.
    QTimer::singleShot(0, this, [this, paths] {
        if (projects_->openDropped(paths))
            returnFocusToList();
    });
}

bool MainWindow::loadProject()
{
    // The session has just read the settings, among them whether the raw
    // data is on the CD-ROM.
    updateCommandStates();
    LoadingDialog* dialog = nullptr;
    bool loaded = false;
    LoadingDialog box(this, [&] {
        loaded = loadVariables(session_.store, session_.project, list_, ui_, *dialog);
    });
    dialog = &box;
    box.exec();
    if (!loaded || box.cancelled()) {
        ui_.error(loadCanceledMessage);
        return false;
    }
    view_->show();
    query_->show();
    view_->setFocus(Qt::OtherFocusReason);
    updateToolbarLabel(list_.activeRow());
    setWindowTitle(latin1(mainWindowTitle(session_.project)));
    selections_->restoreKeptTags();
    restoreProjectState();
    projects_->addRecent(projects_->currentConfigurationFile());
    return true;
}

void MainWindow::updateToolbarLabel(std::uint32_t row)
{
    if (!session_.store.isOpen() || !list_.shown())
        return;
    std::string title;
    if (!session_.store.sectionTitleOf(row, title))
        return;
    const DataFileEntry* file = session_.project.dataFile(session_.store.record().fileNumber);
    std::string text = (file ? file->fileTitle : std::string()) + ": " + title;
    if (text.size() > maxLabelText)
        text.resize(maxLabelText);
    toolbarLabel_->setText(latin1(text));
}

void MainWindow::showTagCount(quint32 count)
{
    tagPane_->setText(latin1(VariableList::tagPaneText(count)));
}

void MainWindow::showHelpContents()
{
    showHelpTopic(QStringLiteral("Contents"));
}

void MainWindow::showHelpTopic(const QString& topic)
{
    const QString path = HelpWindow::findHelpFile();
    if (path.isEmpty()) {
        ui_.error("Cannot Open " + std::string(HelpWindow::fileName) + " !");
        return;
    }
    if (!help_)
        help_ = new HelpWindow(this);
    if (!help_->open(path, topic)) {
        ui_.error("Cannot Open " + latin1Bytes(path) + " !");
        return;
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

HelpWindow* MainWindow::helpWindow() const
{
    return help_;
}

void MainWindow::showAbout()
{
    AboutDialog dialog(this);
    dialog.exec();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Once: another project's start has saved it all already.
    if (!stateSaved_) {
        saveState();
        stateSaved_ = true;
    }
    if (closeHandler_)
        closeHandler_();
    event->accept();
}

} // namespace qavn
