#include "app/qt/Application.h"
#include "app/qt/Features.h"
#include "platform/qt/QtUi.h"
#include "catalogue/qt/Resources.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Without a display Qt cannot start at all; say so the program's way
    // instead of letting the platform plugin abort.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr &&
        std::getenv("WAYLAND_DISPLAY") == nullptr) {
        std::fputs("Varibrow32: Cannot load DLLs\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qavn"));
    QApplication::setApplicationVersion(QStringLiteral(QAVN_VERSION));
    qavn::initResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/qavn/qavn.png")));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();

    qavn::QtUi ui;
    qavn::Application application(ui);
    qavn::Features features(application, ui);
    // The command line comes back as the bytes it was given: the project ID
    // in it becomes part of file names on this host.
    const bool started = application.start(QFile::encodeName(arguments.join(QLatin1Char(' '))).toStdString());
    if (started)
        features.attach();
    const int result = started ? QApplication::exec() : 1;
    application.exit();
    return result;
}
