#include "app/qt/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace qavn {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("QAVN Help"));
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(560, 480);
}

QString HelpWindow::findHelpFile()
{
    const QString name = QString::fromLatin1(fileName);
    const QString forced = qEnvironmentVariable("QAVN_HELP_FILE");
    if (!forced.isEmpty())
        return QFileInfo::exists(forced) ? forced : QString();
    // Beside the program in the build tree; in the data folder the program
    // was installed with; in the data folder of a copy moved elsewhere.
    const QDir programDir(QCoreApplication::applicationDirPath());
    const QStringList candidates{
        programDir.filePath(name),
        QDir(QStringLiteral(QAVN_DATA_DIR)).filePath(name),
        programDir.filePath(QStringLiteral("../share/qavn/") + name),
    };
    for (const QString& candidate : candidates)
        if (QFileInfo::exists(candidate))
            return QDir::cleanPath(candidate);
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("qavn/") + name);
}

bool HelpWindow::open(const QString& path, const QString& anchor)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return false;
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    browser_->setSource(url, QTextDocument::HtmlResource);
    if (!anchor.isEmpty())
        browser_->scrollToAnchor(anchor);
    return true;
}

} // namespace qavn
