#pragma once

// File > Save Selection and Load Selection: naming, listing, combining and
// deleting saved selections.

#include "selections/SelectionFile.h"
#include "selections/TagSet.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <string>

class QKeyEvent;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace qavn {

class OpenProject;
class Ui;
class VariableList;

// "Save Selection": a name for the current tags, with the names already
// saved listed below it (a click copies one into the field, to replace it).
class SaveSelectionDialog : public QDialog {
    Q_OBJECT
public:
    SaveSelectionDialog(const std::vector<std::string>& names, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return name_; }
    QListWidget* names() const { return names_; }
    // The name typed, blanks at either end removed, as file-name bytes.
    std::string chosenName() const;
    std::function<void()> onHelp; // F1

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* name_;
    QListWidget* names_;
};

// "Load Selection": the saved selections, how the chosen one joins the
// current tags (Replace, AND, OR, NOT, MINUS), Load, Delete and Cancel.
class LoadSelectionDialog : public QDialog {
    Q_OBJECT
public:
    LoadSelectionDialog(const std::vector<std::string>& names, QWidget* parent = nullptr);

    QListWidget* names() const { return names_; }
    QRadioButton* operationButton(SetOperation operation) const;
    QPushButton* deleteButton() const { return delete_; }
    // The selected name as file-name bytes; empty when none is selected.
    std::string chosenName() const;
    SetOperation chosenOperation() const;
    std::function<void()> onHelp; // F1

protected:
    void keyPressEvent(QKeyEvent* event) override;

signals:
    void deleteRequested();

private:
    QListWidget* names_;
    QRadioButton* buttons_[5];
    QPushButton* delete_;
};

// The tags kept between runs and the named selections of the main window's
// project. Messages go through the Ui; notes (what was restored or saved,
// why not) through `note`, for the status bar, with a selection's name as
// the user typed it.
class SelectionCommands {
public:
    using Note = std::function<void(const QString&)>;
    // Runs a dialog modally and returns its result (replaceable for tests).
    using Exec = std::function<int(QDialog&)>;

    SelectionCommands(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent, Note note);

    // After loading: the tags saved at the end of the last run, when they
    // belong to this codebook.
    void restoreKeptTags();
    // At the end: the tags for the next run, merged with what another window
    // of the project saved meanwhile. Only after a load; a failure or a
    // merge is a note, never a message box. Runs once; later calls do
    // nothing.
    void saveKeptTags();

    // File > Save Selection and File > Load Selection.
    void saveSelection();
    void loadSelection();

    void setExec(Exec exec) { exec_ = std::move(exec); }
    // F1 in the two dialogs: the help on selections.
    void setHelp(std::function<void()> help) { help_ = std::move(help); }

private:
    int exec(QDialog& dialog);

    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QWidget* parent_;
    Note note_;
    Exec exec_;
    std::function<void()> help_;
    // Restored and saved together, so that another window's tags are merged.
    std::unique_ptr<KeptTags> kept_;
    bool saved_ = false;
};

} // namespace qavn
