// The Ui port over Qt Widgets.

#include "platform/qt/QtUi.h"

#include "platform/HostPath.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace qavn {

namespace {

// After a modal box, the window that was active before it is active again,
// not whichever window of the program a window manager hands the focus to.
void giveBackActivation(const QPointer<QWidget>& before)
{
    if (before && before->isVisible() && QApplication::activeWindow() != before)
        before->activateWindow();
}

// The directory a chooser starts in: the configured path mapped onto this
// host, or the working directory when it does not exist.
QString startDirectory(std::string_view dosDir)
{
    if (dosDir.empty() || dosDir == " ")
        return QString();
    const std::filesystem::path host = toHostPath(dosDir);
    std::error_code ec;
    if (!std::filesystem::is_directory(host, ec))
        return QString();
    return QFile::decodeName(QByteArray::fromStdString(host.string()));
}

} // namespace

QtUi::QtUi()
{
    clock_.start();
}

Ui::Answer QtUi::message(std::string_view text, Buttons buttons, Icon icon)
{
    return detailedMessage(text, buttons, icon, {});
}

Ui::Answer QtUi::detailedMessage(std::string_view text, Buttons buttons, Icon icon, std::string_view detail)
{
    return showBox(text, buttons, icon, detail, Answer::Yes);
}

Ui::Answer QtUi::question(std::string_view text, Icon icon, Answer defaultAnswer)
{
    return showBox(text, Buttons::YesNo, icon, {}, defaultAnswer);
}

Ui::Answer QtUi::showBox(std::string_view text, Buttons buttons, Icon icon, std::string_view detail,
                         Answer defaultAnswer)
{
    QMessageBox box(parent_);
    box.setWindowTitle(latin1(caption));
    box.setText(latin1(text));
    if (!detail.empty())
        box.setInformativeText(latin1(detail));
    switch (icon) {
    case Icon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const QPointer<QWidget> before = QApplication::activeWindow();
    const int result = box.exec();
    giveBackActivation(before);
    if (buttons == Buttons::YesNo)
        return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

QString QtUi::qtFilter(std::string_view filter)
{
    QStringList parts = latin1(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            continue;
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<std::string> QtUi::chooseFile(FileDialog form, std::string_view filter, std::string_view initialDir)
{
    QFileDialog dialog(parent_);
    QString title = form == FileDialog::Save ? QStringLiteral("Save As") : QStringLiteral("Open");
    const QString start = startDirectory(initialDir);
    if (start.isEmpty() && !initialDir.empty() && initialDir != " ") {
        // The configured folder is missing: say so rather than start
        // somewhere else without a word.
        const std::filesystem::path host = toHostPath(initialDir);
        title += QStringLiteral(" - the output directory ") + latin1(initialDir) + QStringLiteral(" (") +
                 QFile::decodeName(QByteArray::fromStdString(host.string())) + QStringLiteral(") does not exist");
        dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("Output directory missing; look in:"));
    }
    dialog.setWindowTitle(title);
    dialog.setDirectory(start);
    dialog.setNameFilter(qtFilter(filter));
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (form == FileDialog::Save) {
        // Asks before an existing file is replaced; the directory must exist.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    const QPointer<QWidget> before = QApplication::activeWindow();
    const bool accepted = dialog.exec() == QDialog::Accepted;
    giveBackActivation(before);
    if (!accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

std::optional<std::string> QtUi::chooseDirectory(std::string_view startDir)
{
    const QString dir = QFileDialog::getExistingDirectory(parent_, QStringLiteral("Directory"), startDirectory(startDir));
    if (dir.isEmpty())
        return std::nullopt;
    return QFile::encodeName(dir).toStdString();
}

void QtUi::pumpStep()
{
    // Looking at the clock costs more than the rest of the call; every 8th
    // call is often enough for work that calls this at fixed points.
    if (pumping_ || (++calls_ & 7u) != 1u)
        return;
    const qint64 now = clock_.elapsed();
    if (now - lastPump_ < pumpInterval)
        return;
    lastPump_ = now;
    pumping_ = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    pumping_ = false;
    ++processed_;
}

void QtUi::setWaitCursor(bool on)
{
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

namespace {

// The program's own viewer of an output file: its Latin-1 text, read-only;
// Escape closes it. It deletes itself when closed.
class TextViewerWindow : public QPlainTextEdit {
public:
    TextViewerWindow(const QString& file, QWidget* owner) : QPlainTextEdit(owner)
    {
        setWindowFlag(Qt::Window);
        setAttribute(Qt::WA_DeleteOnClose);
        setObjectName(QStringLiteral("textViewer"));
        setWindowTitle(QFileInfo(file).fileName());
        setReadOnly(true);
        setLineWrapMode(QPlainTextEdit::NoWrap);
        setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        QFile in(file);
        if (in.open(QIODevice::ReadOnly))
            setPlainText(QString::fromLatin1(in.readAll()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        resize(640, 480);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

void showInOwnViewer(const QString& file, QWidget* owner)
{
    auto* viewer = new TextViewerWindow(file, owner);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

} // namespace

void QtUi::openInViewer(const std::string& path)
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    const QPointer<QWidget> owner = parent_;
    // xdg-open runs the desktop's program for the file, and fails when the
    // desktop has none or the program cannot start; the file is then shown
    // in the program's own viewer. The program does not wait for either.
    auto* opener = new QProcess(qApp);
    opener->setProgram(QStringLiteral("xdg-open"));
    opener->setArguments({file});
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::finished, opener, [opener, file, owner](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            showInOwnViewer(file, owner);
        opener->deleteLater();
    });
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, file, owner](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        // No xdg-open: the desktop's own way, else the program's viewer.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
            showInOwnViewer(file, owner);
        opener->deleteLater();
    });
    opener->start();
}

std::uint64_t QtUi::ticks()
{
    return static_cast<std::uint64_t>(clock_.elapsed());
}

} // namespace qavn
