#pragma once

// A modal dialog that runs one piece of long work and is its progress and Cancel.

#include "platform/Progress.h"

#include <QDialog>

#include <functional>

namespace qavn {

// A modal dialog that runs one piece of long work: the work starts by a
// queued call once the dialog is on screen, and the dialog closes when the
// work returns. Cancel, Esc and the window's close box only set the cancel
// flag; the work's poll points (pollProgress: the Ui's pump step delivers the
// click, keepGoing() then answers from the flag) end it early. Subclasses lay
// out what the dialog shows.
class WorkDialog : public QDialog, public Progress {
    Q_OBJECT
public:
    WorkDialog(QWidget* parent, Qt::WindowFlags flags, std::function<void()> work);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void run();

    std::function<void()> work_;
    bool started_ = false;
    bool finished_ = false;
};

} // namespace qavn
