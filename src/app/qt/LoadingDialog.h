#pragma once

#include "platform/Progress.h"

#include <QDialog>

#include <functional>

class QProgressBar;
class QPushButton;

namespace qavn {

// The modal dialog shown while the variables load: "Loading Data, Please
// Wait...", a progress bar and Cancel. The work starts by a queued call once
// the dialog is on screen, and the dialog closes when the work returns.
// Cancel (and Esc, and the window's close box) only sets the cancel flag;
// the work looks at it and ends early.
class LoadingDialog : public QDialog, public Progress {
    Q_OBJECT
public:
    static constexpr const char* text = "Loading Data, Please Wait...";

    // `work` runs once, from the dialog's own event loop.
    LoadingDialog(QWidget* parent, std::function<void()> work);

    void setRange(long maximum) override;
    void advance(long step) override;

    QProgressBar* progressBar() const { return bar_; }
    QPushButton* cancelButton() const { return cancelButton_; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void run();

    std::function<void()> work_;
    QProgressBar* bar_;
    QPushButton* cancelButton_;
    bool started_ = false;
    bool finished_ = false;
};

} // namespace qavn
