#pragma once

// The query line above the variable grid, worked out beside the window as the
// user types.

#include <QPointer>
#include <QTableView>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QGridLayout;
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
// variables it matches (worked out again as soon as the text changes, on a
// thread of its own, so that typing never waits for it; newer typing cancels
// a query still running and clears the count shown), a syntax error with its
// column on a line of its own below the field (shown a moment after a pause
// in the typing), "Tag Matches"
// and "Untag Matches", which tag or untag the matches in the list as a click
// would (greyed while a query or a search runs), and "Show Only Matches",
// which puts a grid of the matches alone in the grid's place. The matches are
// marked in the full grid too, and F3 and Shift+F3 go to the next and the
// previous one. In the grid of the matches a click on the tag column (or
// Space, or T) tags or untags, its current row is the list's active row, and
// a double-click (or Enter) opens its description; an empty grid says why.
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
    QPushButton* untagButton() const { return untag_; }
    QCheckBox* onlyMatchesBox() const { return only_; }
    // Whether the grid of the matches stands in the grid's place.
    bool onlyMatchesShown() const;
    // What the grid of the matches says while it is empty; empty when it
    // lists matches.
    QString emptyText() const;
    // The grid of the matches alone, to be laid out beside the main grid
    // (it is hidden unless Show Only Matches is on).
    QTableView* matchesView() const { return matchesView_; }

    // The rows the current query matched, ascending.
    const std::vector<std::uint32_t>& matches() const { return matches_; }
    // Whether a query is waiting for the pause to end or still running.
    bool busy() const;

    // Double-click in the matches grid, with the active row set.
    void setDescriptionHandler(std::function<void()> handler) { description_ = std::move(handler); }
    // F1 in the bar or the grid of the matches: the help on queries.
    void setHelpHandler(std::function<void()> handler) { help_ = std::move(handler); }
    // F3 and Shift+F3 there (the main window's goToMatch, with its notes).
    void setMatchHandler(std::function<void(bool forward)> handler) { match_ = std::move(handler); }
    // A right click in the grid of the matches on list row `row`.
    void setContextMenuHandler(std::function<void(std::uint32_t row, const QPoint& globalPos)> handler)
    {
        contextMenu_ = std::move(handler);
    }

    // Runs the query now, showing its syntax error without waiting for
    // the pause.
    void runQuery();
    // Tag Matches and Untag Matches.
    void tagMatches();
    void untagMatches();
    // F3 (forward) and Shift+F3: the next or previous match from the active
    // row, going round at the end of the list. Returns 0 when there is no
    // match, 1 when one became active, 2 when the walk went round to do so.
    int goToMatch(bool forward);
    // Greys the buttons that change tags while a search runs.
    void setCommandsEnabled(bool enabled);

    // The buttons go on a line below the field when the bar is too narrow
    // for one line (a small screen, a large scale factor).
    bool narrow() const { return narrow_; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

signals:
    void matchesUpdated(quint32 count);

protected:
    // Space in the matches grid tags or untags the current row, Enter opens
    // its description, as in the main grid.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Worker;
    class MatchesModel;

    // Starts the query of the field's text; false, with nothing shown,
    // when the text has an error that is not to be shown yet.
    bool startQuery(bool showErrors);
    void showMatches(std::uint64_t generation, std::vector<std::uint32_t> rows);
    void showOnlyMatches(bool on);
    void updateButtons();
    void showError(const QString& error);
    // The grid of the matches follows the list's active row when it is a
    // match; placeOnMatch() makes it one (the nearest match at or after it).
    void followActiveRow(std::uint32_t row);
    void placeOnMatch();
    void updateEmptyText();
    void arrange(bool narrow);
    int wideWidth() const;

    VariableList& list_;
    VariableListView* grid_;
    QGridLayout* layout_;
    QLabel* caption_;
    bool arranged_ = false;
    bool narrow_ = false;
    QLineEdit* edit_;
    QLabel* count_;
    QLabel* error_;
    QPushButton* tag_;
    QPushButton* untag_;
    QCheckBox* only_;
    QLabel* empty_; // on the grid of the matches while it is empty
    QTimer* pause_;
    QTimer* searching_; // "Searching..." for a count that takes longer than the pause
    QPointer<QTableView> matchesView_; // owned by the bar's parent, like the grid
    MatchesModel* matchesModel_;
    std::vector<std::uint32_t> matches_;
    std::function<void()> description_;
    std::function<void()> help_;
    std::function<void(bool)> match_;
    std::function<void(std::uint32_t, const QPoint&)> contextMenu_;
    bool commandsEnabled_ = true;
    bool following_ = false;
    QString errorText_;
    std::uint64_t generation_ = 0; // of the query last started
    std::uint64_t shown_ = 0;      // of the query whose matches are shown
    std::unique_ptr<Worker> worker_;
};

} // namespace qavn
