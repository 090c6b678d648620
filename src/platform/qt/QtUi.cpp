#include "platform/qt/QtUi.h"

#include "platform/HostPath.h"
#include "platform/qt/QtText.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace qavn {

namespace {

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
    QMessageBox box(parent_);
    box.setWindowTitle(latin1(caption));
    box.setText(latin1(text));
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
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int result = box.exec();
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
    dialog.setWindowTitle(form == FileDialog::Save ? QStringLiteral("Save As") : QStringLiteral("Open"));
    dialog.setDirectory(startDirectory(initialDir));
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
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

void QtUi::openInViewer(const std::string& path)
{
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    // Neither way waits for the viewer to end.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        QProcess::startDetached(QStringLiteral("xdg-open"), {file});
}

std::uint64_t QtUi::ticks()
{
    return static_cast<std::uint64_t>(clock_.elapsed());
}

} // namespace qavn
