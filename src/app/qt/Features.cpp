// The main window's commands that open windows and dialogs of their own (Setup,
// descriptions, Tagged Items, Search, selections, outputs, verification).

#include "app/qt/Features.h"

#include "app/qt/Application.h"
#include "app/qt/Commands.h"
#include "app/qt/FeaturesImpl.h"
#include "app/qt/MainWindow.h"
#include "app/qt/OutputCommands.h"
#include "outputs/OutputFormats.h"
#include "app/qt/SetupDialog.h"
#include "app/qt/TablesCommand.h"
#include "app/qt/VerifyCommand.h"
#include "platform/Ui.h"
#include "search/qt/ImportTagFilesDialog.h"
#include "search/qt/SearchDialog.h"
#include "catalogue/qt/DescriptionWindow.h"
#include "catalogue/qt/TaggedItemsDialog.h"
#include "catalogue/qt/VariableListView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>

namespace qavn {

Features::Features(Application& application, Ui& ui) : impl_(std::make_shared<Impl>(application, ui))
{
    std::weak_ptr<Impl> impl = impl_;
    // Search is never greyed, not even while the program starts (the usage
    // box, Setup, loading): it has its handler from the start and opens the
    // dialog once there is a list to search.
    application.addMainWindowSetup([impl](MainWindow& window) {
        window.setCommandHandler(command::search, [impl] {
            if (auto self = impl.lock(); self && self->search)
                self->showSearch();
        });
    });
    application.setCreationSetupDialog([impl](Settings& settings) {
        auto self = impl.lock();
        if (!self)
            return;
        OpenProject& session = self->application.session();
        SetupDialog::run(settings, session.configurationFile(), SetupMode::Creation, self->ui,
                         self->application.mainWindow());
        if (MainWindow* window = self->application.mainWindow())
            window->listView()->setFocus();
    });
    // Closing: the search dialog first (told to close, ten pump steps, then
    // destroyed), then the description windows.
    application.addClosingStep([impl] {
        if (auto self = impl.lock())
            self->closeSearch();
    });
    application.addClosingStep([impl] {
        if (auto self = impl.lock())
            self->descriptions.reset();
    });
}

Features::~Features() = default;

void Features::attach()
{
    impl_->attach();
}

Features::Impl::Impl(Application& app, Ui& u) : application(app), ui(u)
{
}

Features::Impl::~Impl()
{
    // The dialogs talk to the search engine as they go; they go first.
    delete searchDialog.data();
    delete retiredDialog.data();
    descriptions.reset();
}

void Features::Impl::attach()
{
    MainWindow* window = application.mainWindow();
    if (!window)
        return;
    OpenProject& session = application.session();
    VariableList& list = window->variableList();

    descriptions = std::make_unique<DescriptionWindows>(list, session.store, session.project, window);
    descriptions->onHelp = [window] { window->showHelpContents(); };
    descriptions->figuresFor = [window](std::uint32_t row, QWidget* over) {
        return window->verifyCommand().figuresLines(row, over);
    };
    descriptions->barsFor = [window](std::uint32_t row, QWidget* over) {
        return window->tablesCommand().frequencyBars(row, over);
    };
    window->tablesCommand().onWeightChanged = [this] {
        if (descriptions)
            descriptions->reloadFrequencies();
    };
    descriptions->onWindowHidden = [window] { window->returnFocusToList(); };
    // Where the windows were is kept per project.
    window->addProjectState(
        [this](QSettings& settings) {
            if (!descriptions)
                return;
            for (int slot = 0; slot < 2; ++slot)
                settings.setValue(QStringLiteral("descriptionWindow%1").arg(slot), descriptions->place(slot));
        },
        [this](QSettings& settings) {
            if (!descriptions)
                return;
            for (int slot = 0; slot < 2; ++slot)
                descriptions->setPlace(slot,
                                       settings.value(QStringLiteral("descriptionWindow%1").arg(slot)).toByteArray());
        });
    window->setDescriptionHandler([this] { descriptions->showDescription(); });
    window->setFrequencyHandler([this] { descriptions->showDescription(DescriptionWindows::Request::Frequency); });
    window->setCommandHandler(command::description, [this] { descriptions->showDescription(); });
    window->setCommandHandler(command::taggedItems, [this, window, &list] {
        TaggedItemsDialog::run(list, ui, window);
    });
    window->setCommandHandler(command::setup, [this, window, &session] {
        SetupDialog::run(session.settings, session.configurationFile(), SetupMode::Change, ui, window);
    });

    outputs = std::make_unique<OutputCommands>(session, list, ui, window);
    outputs->note = [window](const QString& note) { window->showNote(note); };
    for (const OutputFormat& format : outputFormats())
        if (format.command.id != 0)
            window->setCommandHandler(format.command.id, [this, &format] { outputs->run(format); });
    window->setCommandHandler(command::viewOutput, [this] { outputs->viewOutput(); });

    window->setCommandHandler(command::importTagFiles, [this, window, &list, &session] {
        ImportTagFilesDialog::run(list, ui, session.settings.outputDir, window);
    });

    search = std::make_unique<Search>(list, session.store, ui, session.commands);
    window->setCommandHandler(command::search, [this] { showSearch(); });
}

void Features::Impl::showSearch()
{
    MainWindow* window = application.mainWindow();
    if (searchDialog) {
        searchDialog->showNormal();
        searchDialog->raise();
        searchDialog->activateWindow();
        search->reopen();
        return;
    }
    searchDialog = new SearchDialog(*search, window);
    searchDialog->onShowMatch = [this](bool frequency) {
        if (descriptions)
            descriptions->showDescription(frequency ? DescriptionWindows::Request::Frequency
                                                    : DescriptionWindows::Request::Unchanged);
    };
    searchDialog->onClosed = [window] {
        if (window)
            window->returnFocusToList();
    };
    searchDialog->onHelp = [window] {
        if (window)
            window->showHelpContents();
    };
    searchDialog->show();
}

void Features::Impl::closeSearch()
{
    if (!searchDialog)
        return;
    searchDialog->closeSearch();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    // Destroyed later: a walk may still be on the stack below this step.
    retiredDialog = searchDialog;
    searchDialog = nullptr;
    if (search)
        search->dialogDestroyed();
    retiredDialog->deleteLater();
}

} // namespace qavn
