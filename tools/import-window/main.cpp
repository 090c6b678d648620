// qavn-import-window: the import with a progress window, for the desktop
// launcher (qavn-open). Takes the arguments of qavn-import; shows how far the
// import is, and Cancel stops it without leaving anything behind. An error
// is shown in a message box. Exit status 0 when the project was made, 1 on
// an error, 3 when cancelled, 2 on a usage error. --help prints the usage
// without a display; --choose shows an Open dialog for a project or a data
// set and prints the chosen file (exit status 3 when cancelled). Without a
// display it says so in one line (exit status 1).

#include "import/ProjectImport.h"
#include "import/SourceReader.h"
#include "platform/qt/DisplayCheck.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

using namespace qavn;

namespace {

// The Open dialog of the launcher started without a file: projects and
// every kind of data set the import reads.
int choose()
{
    QString patterns;
    QStringList filters;
    for (const ImportKind& kind : importKinds()) {
        QString kindPatterns;
        for (std::string_view ext : kind.extensions)
            kindPatterns += QStringLiteral(" *") + QString::fromUtf8(ext.data(), static_cast<qsizetype>(ext.size()));
        patterns += kindPatterns;
        filters << QString::fromUtf8(kind.description.data(), static_cast<qsizetype>(kind.description.size())) +
                       QStringLiteral(" (") + kindPatterns.trimmed() + QStringLiteral(")");
    }
    filters.prepend(QStringLiteral("QAVN projects (*QAV.CFG)"));
    filters.prepend(QStringLiteral("Projects and data sets (*QAV.CFG") + patterns + QStringLiteral(")"));
    filters << QStringLiteral("All files (*)");
    const QString file = QFileDialog::getOpenFileName(nullptr, QStringLiteral("QAVN - Open a project or a data set"),
                                                      QString(), filters.join(QStringLiteral(";;")));
    if (file.isEmpty())
        return 3;
    std::printf("%s\n", QFile::encodeName(file).constData());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Help needs no display.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(importUsage("qavn-import-window").c_str(), stdout);
            std::fputs("       qavn-import-window --choose\n"
                       "--choose shows an Open dialog for a project or a data set and prints the chosen file.\n"
                       "Exit status 0 when the project was made, 1 on an error, 3 when cancelled, 2 on a usage\n"
                       "error. Without a display, use qavn-import --progress.\n",
                       stdout);
            return 0;
        }
    }
    // Without a display Qt cannot start: one line, not the platform's abort.
    std::string why;
    if (!displayAvailable(argc, argv, why)) {
        std::fprintf(stderr, "qavn-import-window: %s; qavn-import --progress imports without one\n", why.c_str());
        return 1;
    }
    ImportArguments arguments;
    const bool chooseOnly = argc == 2 && std::strcmp(argv[1], "--choose") == 0;
    const ImportCommand command = chooseOnly ? ImportCommand::Import : parseImportArguments(argc, argv, arguments);
    if (command != ImportCommand::Import) {
        std::fprintf(stderr, "qavn-import-window: %s\n%s",
                     command == ImportCommand::Kind ? "--kind is qavn-import's" : arguments.error.c_str(),
                     importUsage("qavn-import-window").c_str());
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QAVN"));
    if (chooseOnly)
        return choose();
    const QString title = QStringLiteral("QAVN - Import");
    ImportOptions& options = arguments.options;

    QProgressDialog dialog(QStringLiteral("Importing %1 ...").arg(QString::fromStdString(options.sources.front())),
                           QStringLiteral("Cancel"), 0, 1000);
    dialog.setWindowTitle(title);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumWidth(480);

    std::atomic<bool> cancel{false};
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] { cancel = true; });
    options.progress = [&](double done, const std::string& what) {
        const QString text = QString::fromStdString(what);
        const int value = static_cast<int>(done * 1000);
        QMetaObject::invokeMethod(
            &dialog,
            [&dialog, text, value] {
                dialog.setValue(value);
                dialog.setLabelText(text);
            },
            Qt::QueuedConnection);
        return !cancel.load();
    };

    ImportSummary summary;
    std::string error;
    bool made = false;
    QThread* worker = QThread::create([&] { made = importProject(options, summary, error); });
    // exit(), not quit(): quit() would close the dialog, which counts as Cancel.
    QObject::connect(worker, &QThread::finished, &app, [] { QApplication::exit(0); });
    dialog.show();
    worker->start();
    app.exec();
    worker->wait();
    delete worker;
    dialog.hide();

    if (made) {
        for (const std::string& warning : summary.warnings)
            std::fprintf(stderr, "qavn-import-window: warning: %s\n", warning.c_str());
        return 0;
    }
    if (cancel.load() && error == "cancelled")
        return 3;
    std::fprintf(stderr, "qavn-import-window: %s\n", error.c_str());
    QMessageBox::critical(nullptr, title, QString::fromStdString(error));
    return 1;
}
