// qavn-import-window: the import with a progress window, for the desktop
// launcher (qavn-open). Takes the arguments of qavn-import; shows how far the
// import is, and Cancel stops it without leaving anything behind. An error
// is shown in a message box. Exit status 0 when the project was made, 1 on
// an error, 3 when cancelled, 2 on a usage error.

#include "import/ProjectImport.h"
#include "platform/qt/DisplayCheck.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressDialog>
#include <QThread>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <string_view>

using namespace qavn;

namespace {

constexpr const char* usage = "Usage: qavn-import-window SOURCE... --id ID --out DIR [--title TEXT] "
                              "[--id-variable NAME] [--force]\n";

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            std::fputs(usage, stdout);
            std::fputs("Imports the data sets into a project as qavn-import does, with a progress window and Cancel.\n"
                       "Exit status 0 when the project was made, 1 on an error, 3 when cancelled, 2 on a usage error.\n"
                       "Without a display, use qavn-import --progress.\n",
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
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QAVN"));
    const QString title = QStringLiteral("QAVN - Import");

    ImportOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--id" && hasValue)
            options.id = argv[++i];
        else if (arg == "--out" && hasValue)
            options.out = argv[++i];
        else if (arg == "--title" && hasValue)
            options.title = argv[++i];
        else if (arg == "--id-variable" && hasValue)
            options.idVariable = argv[++i];
        else if (arg == "--force")
            options.force = true;
        else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "qavn-import-window: unknown option %s\n", arg.c_str());
            return 2;
        } else
            options.sources.push_back(arg);
    }
    if (options.sources.empty() || options.id.empty() || options.out.empty()) {
        std::fputs(usage, stderr);
        return 2;
    }

    for (char& c : options.id)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

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
