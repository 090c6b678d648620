#pragma once

#include "platform/Progress.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

namespace qavn {

// The writing dialog. Template 121: "Writing Data, Please Wait..." over a bar
// of 0..300; template 145: "Processing the record # " with the case counter
// and the "from file" text the export fills. Cancel only sets the cancel
// flag; the work, started once the dialog is on screen, polls it and the
// dialog closes when the work returns.
class WritingDialog : public QDialog, public Progress {
    Q_OBJECT
public:
    WritingDialog(int dialogTemplate, std::function<void(WritingDialog&)> work, QWidget* parent = nullptr);

    void setRange(long maximum) override;
    void advance(long step) override;
    void setText(std::string_view field, std::string_view text) override;

    int dialogTemplate() const { return template_; }
    QProgressBar* bar() const { return bar_; }
    QString fieldText(const QString& field) const;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void runWork();

    int template_;
    std::function<void(WritingDialog&)> work_;
    bool started_ = false;
    bool finished_ = false;
    QProgressBar* bar_ = nullptr;
    QLabel* counter_ = nullptr; // 1050
    QLabel* from_ = nullptr;    // 1048
};

// "Confirmation": "Want to Label Reserved Code ?" with All (the default),
// Categorical, None and Cancel. Returns 12, 11, 13, or 0 for Cancel.
int askReservedCodeChoice(QWidget* parent);

// "Output": the generated-files list.
class GeneratedFilesDialog : public QDialog {
    Q_OBJECT
public:
    GeneratedFilesDialog(const std::vector<std::string>& lines, QWidget* parent = nullptr);
    QStringList lines() const;
};

} // namespace qavn
