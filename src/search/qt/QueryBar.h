#pragma once

#include <QPointer>
#include <QTableView>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace qavn {

class CodebookStore;
class VariableList;
class VariableListView;
struct ProjectSpec;

// The query line above the variable grid: the query text, the number of
// variables it matches (worked out again a moment after each pause in the
// typing, on a thread of its own, so that typing never waits for it; newer
// typing cancels a query still running), a syntax error with its column,
// "Tag Matches", which tags the matches in the list as a click would, and
// "Show Only Matches", which puts a grid of the matches alone in the grid's
// place. In that grid a click on the tag column (or Space) tags or untags, a
// row becomes the list's active row, and a double-click (or Enter) opens its
// description.
//
// The list, the store and the project must outlive the bar and keep their
// content while it exists; the first query gathers what it needs from them
// (see QueryIndex) once.
class QueryBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int pauseMs = 250;

    QueryBar(VariableList& list, const CodebookStore& store, const ProjectSpec& project, VariableListView* grid,
             QWidget* parent = nullptr);
    ~QueryBar() override;

    QLineEdit* queryEdit() const { return edit_; }
    QLabel* countLabel() const { return count_; }
    QLabel* errorLabel() const { return error_; }
    QPushButton* tagButton() const { return tag_; }
    QCheckBox* onlyMatchesBox() const { return only_; }
    // The grid of the matches alone, to be laid out beside the main grid
    // (it is hidden unless Show Only Matches is on).
    QTableView* matchesView() const { return matchesView_; }

    // The rows the current query matched, ascending.
    const std::vector<std::uint32_t>& matches() const { return matches_; }
    // Whether a query is waiting for the pause to end or still running.
    bool busy() const;

    // Double-click in the matches grid, with the active row set.
    void setDescriptionHandler(std::function<void()> handler) { description_ = std::move(handler); }

    // Runs the query now, without waiting for the pause.
    void runQuery();
    // Tag Matches.
    void tagMatches();

signals:
    void matchesUpdated(quint32 count);

protected:
    // Space in the matches grid tags or untags the current row, Enter opens
    // its description, as in the main grid.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Worker;
    class MatchesModel;

    void showMatches(std::uint64_t generation, std::vector<std::uint32_t> rows);
    void showOnlyMatches(bool on);

    VariableList& list_;
    VariableListView* grid_;
    QLineEdit* edit_;
    QLabel* count_;
    QLabel* error_;
    QPushButton* tag_;
    QCheckBox* only_;
    QTimer* pause_;
    QPointer<QTableView> matchesView_; // owned by the bar's parent, like the grid
    MatchesModel* matchesModel_;
    std::vector<std::uint32_t> matches_;
    std::function<void()> description_;
    std::uint64_t generation_ = 0; // of the query last started
    std::uint64_t shown_ = 0;      // of the query whose matches are shown
    std::unique_ptr<Worker> worker_;
};

} // namespace qavn
