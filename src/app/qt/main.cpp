// qavn: the window program. `qavn P=ID` opens the project ID from the
// working folder; --help and --version answer without a display.

#include "app/qt/Application.h"
#include "app/qt/Features.h"
#include "platform/qt/DisplayCheck.h"
#include "platform/qt/QtUi.h"
#include "catalogue/qt/Resources.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const char* usage =
    "Usage: qavn P=ID\n"
    "Opens the codebook of the project ID: its configuration file IDQAV.CFG is read from the\n"
    "working folder (see the help, F1 in the program, on drive letters and folders).\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "Without a display, qavn-extract P=ID lists, searches and writes the outputs.\n";

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("qavn %s\n", QAVN_VERSION);
            return 0;
        }
    }
    // Without a display Qt cannot start at all; say so in one line instead
    // of letting the platform plugin abort.
    std::string why;
    if (!qavn::displayAvailable(argc, argv, why)) {
        std::fprintf(stderr, "qavn: Cannot load DLLs: %s\n", why.c_str());
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
