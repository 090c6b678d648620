// The application object: the project of the run, its main window, start-up and exit.

#include "app/qt/Application.h"

#include "app/qt/LogoWindow.h"
#include "app/qt/MainWindow.h"
#include "platform/Ui.h"
#include "platform/qt/QtUi.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

namespace qavn {

namespace {

// Dialogs are light grey with black text; disabled text is dark grey, so a
// greyed button looks greyed.
void setDialogLook()
{
    QPalette palette = QApplication::palette();
    const QColor grey(192, 192, 192);
    const QColor disabledText(128, 128, 128);
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::Button, grey);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, Qt::black);
        palette.setColor(group, QPalette::ButtonText, Qt::black);
    }
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        palette.setColor(QPalette::Disabled, role, disabledText);
    QApplication::setPalette(palette, "QDialog");
    QApplication::setPalette(palette, "QMessageBox");
}

} // namespace

Application::Application(Ui& ui) : ui_(ui), session_(ui), logoPath_(QStringLiteral("logo.bmp")) {}

Application::~Application()
{
    exit();
    delete mainWindow_;
}

MainWindow* Application::mainWindow() const
{
    return mainWindow_;
}

void Application::setLogoPath(QString path)
{
    logoPath_ = std::move(path);
}

bool Application::componentsAvailable()
{
    return !QGuiApplication::platformName().isEmpty() && QGuiApplication::primaryScreen() != nullptr;
}

bool Application::start(std::string_view arguments)
{
    setDialogLook();
    session_.commands.set(true);

    const bool components = componentCheck_ ? componentCheck_() : componentsAvailable();
    if (!components) {
        ui_.error(componentsMessage);
        return false;
    }

    LogoWindow::show(ui_, logoPath_);

    mainWindow_ = new MainWindow(session_, ui_);
    mainWindow_->setCloseHandler([this] { closingSteps(); });
    for (const auto& setup : windowSetups_)
        setup(*mainWindow_);
    if (auto* qtUi = dynamic_cast<QtUi*>(&ui_))
        qtUi->setParentWindow(mainWindow_);
    mainWindow_->show();
    mainWindow_->repaint();

    const auto setup = [this](Settings& settings) {
        if (creationSetup_)
            creationSetup_(settings);
        if (mainWindow_)
            mainWindow_->activateWindow();
    };
    bool started = session_.start(arguments, setup);
    if (started)
        started = mainWindow_->loadProject();
    if (!started) {
        // The window goes without running its close handler twice; exit()
        // runs the closing steps.
        mainWindow_->setCloseHandler(nullptr);
        mainWindow_->close();
        delete mainWindow_;
    }
    return started;
}

void Application::closingSteps()
{
    std::vector<std::function<void()>> steps;
    steps.swap(closingSteps_);
    for (const auto& step : steps)
        step();
    session_.project.dataFiles.clear();
}

void Application::exit()
{
    closingSteps();
}

} // namespace qavn
