#pragma once

// The Import Tag Files dialog: two files and how to combine them.

#include <QDialog>

#include <functional>
#include <string>

class QLineEdit;
class QRadioButton;

namespace qavn {

class OpenProject;
class Ui;
class VariableList;

// "Import Tag Files": File #1 and File #2 with their Browse buttons, AND,
// OR, NOT or MINUS, Import and Cancel. A field counts as empty when it starts
// with a blank (both start as a single blank). AND and OR walk the two files
// in step (importTagFiles); NOT tags every variable neither file lists (with
// one file: every variable it does not list), MINUS what File #1 lists and
// File #2 does not. One file alone with AND, OR or MINUS is imported as it
// is.
class ImportTagFilesDialog : public QDialog {
    Q_OBJECT
public:
    ImportTagFilesDialog(VariableList& list, Ui& ui, std::string outputDir, QWidget* parent = nullptr);

    QLineEdit* file1() const { return file1_; }
    QLineEdit* file2() const { return file2_; }
    QRadioButton* andButton() const { return and_; }
    QRadioButton* orButton() const { return or_; }
    QRadioButton* notButton() const { return not_; }
    QRadioButton* minusButton() const { return minus_; }

    // The Import Tag Files command: the question when tags exist (No closes
    // at once; Yes clears every tag first), then the dialog, modally.
    // `exec` runs the dialog (replaceable for tests).
    static void run(VariableList& list, Ui& ui, const std::string& outputDir, QWidget* parent,
                    const std::function<void(ImportTagFilesDialog&)>& exec = {});

public slots:
    void import();

private:
    void browse(QLineEdit* field);
    // NOT and MINUS, by the sets of the files' numbers.
    void importBySets(const std::string& one, const std::string& two);

    VariableList& list_;
    Ui& ui_;
    std::string outputDir_;
    QLineEdit* file1_;
    QLineEdit* file2_;
    QRadioButton* and_;
    QRadioButton* or_;
    QRadioButton* not_;
    QRadioButton* minus_;
};

} // namespace qavn
