// The help viewer: QAVN.HLP shown in a text browser at a named topic.

#include "app/qt/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
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
    // Escape closes the help as it closes the program's other windows, also
    // while the browser has the keyboard.
    browser_->installEventFilter(this);
}

void HelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == browser_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
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
