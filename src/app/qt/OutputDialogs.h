#pragma once

// The dialogs of the outputs: the data export's record counter, the
// Confirmation dialog and the generated-files list.

#include "app/qt/WorkDialog.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;

namespace qavn {

enum class LabelChoice;

// The writing dialog of the data export: "Processing the record # " with the
// case counter (field "1050") and the "from file" text (field "1048") that
// the export fills, and Cancel. The other outputs write under the loading
// dialog's template with its own text (LoadingDialog::setMessage).
class ExportDialog : public WorkDialog {
    Q_OBJECT
public:
    ExportDialog(QWidget* parent, std::function<void()> work);

    // The case counter reads "n of N" while the number of cases of the data
    // file is known (accessfield::caseTotal).
    void setText(std::string_view field, std::string_view text) override;
    QString fieldText(const QString& field) const;

private:
    QLabel* counter_; // 1050
    QLabel* from_;    // 1048
    std::string total_;
};

// "Confirmation": "Want to Label Reserved Code ?" with All (the default),
// Categorical, None and Cancel. Returns the choice, nothing for Cancel.
std::optional<LabelChoice> askReservedCodeChoice(QWidget* parent);

// What the table outputs and the Stata and R programs let the user choose
// after the file (OutputFormat::choices).
struct TableChoices {
    bool merge = false;      // one table matched by the identifier
    bool emptyCells = false; // reserved codes and declared missing values as empty cells
};

// "Confirmation" with the choices an output offers, in the Confirmation
// dialog's style: "Match the data files' cases by their identifier into one
// table" (checked: it is offered when every data file of the selection has
// an identifier) and "Leave reserved codes and missing values empty"
// (unchecked), with OK (the default) and Cancel. Returns the choices,
// nothing for Cancel.
std::optional<TableChoices> askTableChoices(QWidget* parent, bool offerMerge, bool offerEmptyCells);

// "Output": the generated-files list, with each file's path on this host
// beside it (`hostFiles` belong to the last lines, in order).
class GeneratedFilesDialog : public QDialog {
    Q_OBJECT
public:
    GeneratedFilesDialog(const std::vector<std::string>& lines, const std::vector<std::string>& hostFiles = {},
                         QWidget* parent = nullptr);
    QStringList lines() const;
    QStringList hostPaths() const;
};

} // namespace qavn
