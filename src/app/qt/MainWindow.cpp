#include "app/qt/MainWindow.h"

#include "codebook/OpenProject.h"
#include "app/qt/AboutDialog.h"
#include "app/qt/HelpWindow.h"
#include "app/qt/LoadingDialog.h"
#include "app/qt/VerifyCommand.h"
#include "app/qt/SelectionDialogs.h"
#include "catalogue/Loader.h"
#include "outputs/OutputFormats.h"
#include "platform/Ui.h"
#include "platform/qt/QtText.h"
#include "catalogue/Navigation.h"
#include "catalogue/qt/Resources.h"
#include "catalogue/qt/VariableListView.h"
#include "search/qt/QueryBar.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace qavn {

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
    selections_ = std::make_unique<SelectionCommands>(session_, list_, ui_, this, [this](const std::string& note) {
        statusBar()->showMessage(latin1(note), noteTimeoutMs);
    });

    view_ = new VariableListView(list_, this);
    view_->setHelpHandler([this] { showHelpContents(); });
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
    layout->insertWidget(0, query_);
    layout->addWidget(query_->matchesView());
    query_->hide();
    setCentralWidget(centre);

    installDefaultHandlers();
    updateCommandStates();
    // A running search disables the commands and enables them again when it
    // ends; the window follows at once.
    session_.commands.setListener([this](bool) { updateCommandStates(); });
    restorePlace();
}

void MainWindow::restorePlace()
{
    const QSettings settings(QString::fromLatin1(settingsOrganisation), QString::fromLatin1(settingsApplication));
    if (restoreGeometry(settings.value(QString::fromLatin1(geometryKey)).toByteArray()))
        return;
    // A first start: a window roomy enough for the list's labels, within the
    // screen.
    QSize size(defaultWidth, defaultHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10).expandedTo(QSize(720, 520));
    resize(size);
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
    // The lock states cannot be read portably; the panes keep their place
    // and name as indicators.
    QLabel* cap = pane(QStringLiteral("capIndicator"), QStringLiteral("CAP"), QStringLiteral("CAP"));
    QLabel* num = pane(QStringLiteral("numIndicator"), QStringLiteral("NUM"), QStringLiteral("NUM"));
    cap->setEnabled(false);
    num->setEnabled(false);
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
}

void MainWindow::installDefaultHandlers()
{
    setCommandHandler(command::topOfList, [this] { goToTopOfList(list_); });
    setCommandHandler(command::bottomOfList, [this] { goToBottomOfList(list_); });
    setCommandHandler(command::nextSection, [this] { goToNextSection(list_, session_.store); });
    setCommandHandler(command::prevSection, [this] { goToPrevSection(list_, session_.store); });
    setCommandHandler(command::nextFile, [this] { goToNextFile(list_, session_.store, session_.project); });
    setCommandHandler(command::prevFile, [this] { goToPrevFile(list_, session_.store, session_.project); });
    setCommandHandler(command::tagItem, [this] { list_.tagRow(list_.activeRow()); });
    setCommandHandler(command::untagItem, [this] { list_.untagRow(list_.activeRow()); });
    setCommandHandler(command::clearAllTag, [this] { list_.clearAllTags(); });
    setCommandHandler(command::prevTag, [this] { goToPrevTag(list_); });
    setCommandHandler(command::nextTag, [this] { goToNextTag(list_); });
    setCommandHandler(command::helpContents, [this] { showHelpContents(); });
    setCommandHandler(command::about, [this] { showAbout(); });
    setCommandHandler(command::exit, [this] { close(); });
    setCommandHandler(command::verifyCodebook, [this] { verify_->run(); });
    setCommandHandler(command::saveSelection, [this] { selections_->saveSelection(); });
    setCommandHandler(command::loadSelection, [this] { selections_->loadSelection(); });
}

void MainWindow::runCommand(int id)
{
    const auto it = handlers_.find(id);
    if (it == handlers_.end())
        return;
    // The list has no rows to act on until loading has shown it.
    const CommandInfo* info = findCommand(id);
    const bool needsList = info && info->enabledBy == EnabledBy::CommandsEnabled && id != command::setup &&
                           id != command::viewOutput;
    if (needsList && !list_.shown())
        return;
    const std::function<void()> handler = it->second;
    handler();
    if (id != command::exit && view_ && view_->isVisible())
        view_->setFocus(Qt::OtherFocusReason);
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
    const QString path = HelpWindow::findHelpFile();
    if (path.isEmpty()) {
        ui_.error("Cannot Open " + std::string(HelpWindow::fileName) + " !");
        return;
    }
    if (!help_)
        help_ = new HelpWindow(this);
    if (!help_->open(path)) {
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
    selections_->saveKeptTags();
    if (closeHandler_)
        closeHandler_();
    if (list_.shown())
        savePlace();
    event->accept();
}

} // namespace qavn
