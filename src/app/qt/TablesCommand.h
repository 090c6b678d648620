#pragma once

// Tools > Tables... and the weighted frequency view: tables counted from the
// raw data under the progress dialog, kept while the project is open.

#include "catalogue/qt/DescriptionWindow.h"
#include "tables/FrequencyLines.h"
#include "tables/Tabulation.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>

namespace qavn {

class OpenProject;
class TablesDialog;
class Ui;
class VariableList;
class WorkDialog;

// Tools > Tables... (one window, shown again when open) and the lines of the
// frequency view, weighted by the project's weight when one is chosen.
class TablesCommand {
public:
    TablesCommand(OpenProject& session, VariableList& list, Ui& ui, QWidget* parent);
    ~TablesCommand();

    // Opens the Tables window with the active variable as its row variable
    // and the project's weight.
    void run();
    TablesDialog* dialog() const;

    // The table `request` asks for: counted from the raw data under the
    // progress dialog (owned by `over` when given) the first time, from the
    // cache after that. Nothing when the run was cancelled or the data could
    // not be read (the message has been shown).
    std::optional<Tabulation> table(const TableRequest& request, QWidget* over = nullptr);

    // The lines of `variable`'s frequency view: the codebook's category lines,
    // or, when the project has a weight, their weighted sums from the data.
    // Nothing when the weighted count was cancelled or failed.
    std::optional<FrequencyLines> frequencyLines(std::uint32_t variable, QWidget* over = nullptr);
    // The same as the frequency view draws it: lines, bars and summary.
    std::optional<FrequencyBars> frequencyBars(std::uint32_t variable, QWidget* over = nullptr);

    // The project's weight (a codebook name; empty for none), kept in the
    // project's metadata file (made when the project has none). False when
    // the file could not be written, or could not be read when the project
    // opened and so is left as it is (the message has been shown).
    bool setProjectWeight(const std::string& weight);
    std::string projectWeight() const;

    // Runs the progress dialog; replaceable so that tests can drive it.
    std::function<void(WorkDialog&)> runDialog;
    std::function<void()> onHelp;
    // The project's weight changed: the frequency views show it.
    std::function<void()> onWeightChanged;

private:
    OpenProject& session_;
    VariableList& list_;
    Ui& ui_;
    QPointer<QWidget> parent_;
    QPointer<TablesDialog> dialog_;
    std::map<TableRequest, Tabulation> tables_;
};

} // namespace qavn
