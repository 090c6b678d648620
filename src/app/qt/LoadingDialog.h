#pragma once

// The modal progress dialog of loading and of the one-file outputs: a message, a
// bar and Cancel.

#include "app/qt/WorkDialog.h"

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qavn {

// The modal dialog shown while the variables load: "Loading Data, Please
// Wait...", a progress bar and Cancel (see WorkDialog). The writing dialog of
// the outputs is the same dialog with its own text. It stays centred on its
// parent's window, also when a window manager places that window only after
// the dialog is up.
class LoadingDialog : public WorkDialog {
    Q_OBJECT
public:
    static constexpr const char* text = "Loading Data, Please Wait...";

    // `work` runs once, from the dialog's own event loop.
    LoadingDialog(QWidget* parent, std::function<void()> work);

    void setRange(long maximum) override;
    void advance(long step) override;
    // A text of the work without a field of its own (the data file being
    // read, or the count of cases written: "record 1200") goes on a line
    // under the bar.
    void setText(std::string_view field, std::string_view text) override;
    void setDetail(const QString& text);
    QString detail() const;

    QProgressBar* progressBar() const { return bar_; }
    QPushButton* cancelButton() const { return cancelButton_; }
    // Replaces "Loading Data, Please Wait...".
    void setMessage(const QString& message);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void centreOnOwner();

    QLabel* label_;
    QLabel* detail_;
    QProgressBar* bar_;
    QPushButton* cancelButton_;
};

} // namespace qavn
