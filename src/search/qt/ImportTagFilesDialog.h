#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QLineEdit;
class QRadioButton;

namespace qavn {

class OpenProject;
class Ui;
class VariableList;

// "Import Tag Files": File #1 and File #2 with their Browse buttons, AND or
// OR, Import and Cancel. A field counts as empty when it starts with a blank
// (both start as a single blank).
class ImportTagFilesDialog : public QDialog {
    Q_OBJECT
public:
    ImportTagFilesDialog(VariableList& list, Ui& ui, std::string outputDir, QWidget* parent = nullptr);

    QLineEdit* file1() const { return file1_; }
    QLineEdit* file2() const { return file2_; }
    QRadioButton* andButton() const { return and_; }
    QRadioButton* orButton() const { return or_; }

    // The Import Tag Files command: the question when tags exist (No closes
    // at once; Yes clears every tag first), then the dialog, modally.
    // `exec` runs the dialog (replaceable for tests).
    static void run(VariableList& list, Ui& ui, const std::string& outputDir, QWidget* parent,
                    const std::function<void(ImportTagFilesDialog&)>& exec = {});

public slots:
    void import();

private:
    void browse(QLineEdit* field);

    VariableList& list_;
    Ui& ui_;
    std::string outputDir_;
    QLineEdit* file1_;
    QLineEdit* file2_;
    QRadioButton* and_;
    QRadioButton* or_;
};

} // namespace qavn
