#pragma once

// Tools > Tables...: a frequency table or crosstab counted from the raw data,
// with its bar chart, copied for a spreadsheet or saved as CSV.

#include "tables/Tabulation.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace qavn {

class BarChart;
class CodebookStore;
class ProjectMetadata;

// The Tables window: row variable, optional column variable and weight (a
// name, long name or number each, completed from the codebook's names),
// missing values in or out. Make Table counts through `compute`; the table
// shows one line per cell with its counts, weighted sums and percentages
// (the columns of the CSV), the chart the row variable's distribution.
class TablesDialog : public QDialog {
    Q_OBJECT
public:
    TablesDialog(CodebookStore& store, const ProjectMetadata* metadata, QWidget* parent);

    // Fills the fields: the row variable, and the weight by its name.
    void setRowVariable(std::uint32_t variable);
    void setWeightName(const std::string& name);

    // Counts the table the fields ask for. Nothing when it was cancelled or
    // failed (the message has been shown). Must be set.
    std::function<std::optional<Tabulation>(const TableRequest& request)> compute;
    // Asks where to save the CSV (a host path); nothing when cancelled.
    std::function<std::optional<std::string>()> chooseSavePath;
    // Shows a message box with the text (and detail).
    std::function<void(const std::string& text, const std::string& detail)> showError;
    // The weight the table was made with (a codebook name; empty for none)
    // when "Weight the frequency view too" is ticked, or empty when it is
    // not: the project's weight from now on.
    std::function<void(const std::string& weight)> onProjectWeight;
    std::function<void()> onHelp;

    // Make Table: reads the fields, counts and shows. False when a field
    // names no variable (said under it) or nothing was counted.
    bool makeTable();
    // The table shown, tab-separated with a heading line (what Copy puts on
    // the clipboard); empty before a table.
    QString tableText() const;
    // A crosstab as the Grid tab shows it: a heading line with the column
    // variable's values and Total, then a line per row value and Total,
    // tab-separated; empty for a frequency table.
    QString gridText() const;
    // Copies the table to the clipboard: gridText() while the Grid tab is
    // shown, else tableText().
    void copyTable();
    // Asks for a file and saves the table as CSV there; false when nothing
    // was saved (cancelled, or the error has been shown).
    bool saveTable();

    const std::optional<Tabulation>& table() const { return table_; }
    QTableWidget* tableView() const { return view_; }
    QTableWidget* gridView() const { return grid_; }
    QTabWidget* tabs() const { return tabs_; }
    QComboBox* gridFigure() const { return gridFigure_; }
    BarChart* chart() const { return chart_; }
    QString notesText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The variable a field names, 0 for an empty optional field; nothing
    // (with the reason under the field) when it names none.
    std::optional<std::uint32_t> fieldVariable(QLineEdit* edit, QLabel* note, bool required);
    void describeField(QLineEdit* edit, QLabel* note);
    void showTable(const Tabulation& table);
    void fillGrid();

    CodebookStore& store_;
    const ProjectMetadata* metadata_;
    QLineEdit* row_;
    QLineEdit* column_;
    QLineEdit* weight_;
    QLabel* rowNote_;
    QLabel* columnNote_;
    QLabel* weightNote_;
    QCheckBox* includeMissing_;
    QCheckBox* projectWeight_;
    QPushButton* make_;
    QPushButton* copy_;
    QPushButton* save_;
    QTableWidget* view_;
    QTableWidget* grid_;
    QComboBox* gridFigure_;
    QTabWidget* tabs_;
    BarChart* chart_;
    QLabel* notes_;
    std::optional<Tabulation> table_;
};

} // namespace qavn
