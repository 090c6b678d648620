// A modal dialog that runs one piece of long work and is its progress and Cancel.

#include "app/qt/WorkDialog.h"

#include <QCloseEvent>
#include <QTimer>

namespace qavn {

WorkDialog::WorkDialog(QWidget* parent, Qt::WindowFlags flags, std::function<void()> work)
    : QDialog(parent, flags), work_(std::move(work))
{
    setModal(true);
}

void WorkDialog::reject()
{
    // Only the work closes the dialog.
    requestCancel();
    if (finished_)
        QDialog::reject();
}

void WorkDialog::closeEvent(QCloseEvent* event)
{
    if (!finished_) {
        requestCancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void WorkDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        QTimer::singleShot(0, this, &WorkDialog::run);
    }
}

void WorkDialog::run()
{
    if (work_)
        work_();
    finished_ = true;
    done(cancelled() ? QDialog::Rejected : QDialog::Accepted);
}

} // namespace qavn
