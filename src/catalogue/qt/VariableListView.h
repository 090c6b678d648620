#pragma once

// The grid of the variable list with its mouse and key rules.

#include "catalogue/VariableList.h"
#include "catalogue/qt/VariableTableModel.h"

#include <QTableView>

#include <functional>

namespace qavn {

// The grid of the variable list: the tag column and the row text column over
// a VariableTableModel. The user never edits a cell. In the main list the
// view applies the list's mouse and key rules before the table sees an
// event; in the tagged-items list (input off) the table gets every event.
class VariableListView : public QTableView {
    Q_OBJECT
public:
    // The view makes its own model over `list`; the list must outlive it.
    explicit VariableListView(VariableList& list, QWidget* parent = nullptr);

    VariableList& list() const { return list_; }
    VariableTableModel* variableModel() const { return model_; }

    // F1 in the list: Help Contents.
    void setHelpHandler(std::function<void()> handler) { help_ = std::move(handler); }
    // F3 (true) and Shift+F3 (false): the next or previous match of the query.
    void setMatchHandler(std::function<void(bool forward)> handler) { match_ = std::move(handler); }
    // Double-click on a row text, or the cell notification (Enter): the
    // description window for the active row.
    void setDescriptionHandler(std::function<void()> handler) { description_ = std::move(handler); }
    // A right click on a row, or the menu key (for the active row): the row
    // and where its menu goes.
    void setContextMenuHandler(std::function<void(std::uint32_t row, const QPoint& globalPos)> handler)
    {
        contextMenu_ = std::move(handler);
    }

    bool shiftDown() const { return shiftDown_; }
    // What Copy (Ctrl+C) puts on the clipboard for a row: its name, a tab,
    // its label.
    static QString clipboardText(const VariableList& list, std::uint32_t row);
    int rowHeight() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyboardSearch(const QString&) override {}
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void followActiveRow(quint32 row);
    void cellNotification(std::uint32_t row);
    // Whether the event hit a cell, not the space below the last row.
    QModelIndex cellAt(const QPoint& pos) const;

    VariableList& list_;
    VariableTableModel* model_;
    std::function<void()> help_;
    std::function<void(bool)> match_;
    std::function<void()> description_;
    std::function<void(std::uint32_t, const QPoint&)> contextMenu_;
    bool shiftDown_ = false;
    bool following_ = false;
};

} // namespace qavn
