#pragma once

// The modeless Search dialog over the search engine.

#include "search/Search.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qavn {

// The modeless "Search" dialog over the search engine: Find What with its
// history, the four fields, Whole Words, the direction, Search Next, Tag All
// Match, Cancel Search and Close. Close hides it; the next Search command
// shows it again as it was.
class SearchDialog : public QDialog, private SearchObserver {
    Q_OBJECT
public:
    SearchDialog(Search& engine, QWidget* owner);
    ~SearchDialog() override;

    QComboBox* findWhat() const { return findWhat_; }
    QCheckBox* fieldBox(int id) const;
    QPushButton* button(int id) const;
    QLabel* status() const { return status_; }

    SearchRequest request() const;
    // Search Next (NextMatch) or Tag All Match (TagAll), as the buttons do.
    SearchOutcome startSearch(SearchMode mode);

    // A match in a description (false) or a category line (true).
    std::function<void(bool frequencyView)> onShowMatch;
    // Close: the main window takes the focus back.
    std::function<void()> onClosed;
    std::function<void()> onHelp;

public slots:
    void closeSearch();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void setSearchButtonsEnabled(bool enabled) override;
    void setSearchStatus(std::string_view text) override;
    void showMatch(bool frequencyView) override;
    void refreshHistory();

    Search& engine_;
    QComboBox* findWhat_;
    QCheckBox* variable_;
    QCheckBox* label_;
    QCheckBox* description_;
    QCheckBox* category_;
    QCheckBox* wholeWords_;
    QRadioButton* forward_;
    QRadioButton* backward_;
    QPushButton* searchNext_;
    QPushButton* tagAll_;
    QPushButton* cancelSearch_;
    QPushButton* close_;
    QLabel* status_;
};

} // namespace qavn
