#pragma once

// Paints the variable list's cells: the tag picture, the name and the label.

#include <QStyledItemDelegate>

namespace qavn {

// Paints the variable list's cells: the tag picture centred in column 1, and
// the row text of column 2 in two parts, the name (first 9 characters) 2
// pixels in and the label (from the 10th character) 88 pixels in, both 1
// pixel below the cell's top, in the row's colours; a row the query matches
// (VariableTableModel::MatchRole) on a light yellow band.
class VariableListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int nameX = 2;
    static constexpr int labelX = 88;
    static constexpr int textY = 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    static QColor matchBackground() { return {255, 244, 178}; }

    // The cell's tool tip: the variable's type, after the whole label when
    // the label is cut off at the cell's right edge.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // The label of the row text when it does not fit the cell, else empty.
    static QString cutOffLabel(const QStyleOptionViewItem& option, const QModelIndex& index);

    QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return nullptr;
    }
    // The tag column is checkable for assistive tools only: clicks and keys
    // tag through the list's own rules, never through the delegate.
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override
    {
        return false;
    }
};

} // namespace qavn
