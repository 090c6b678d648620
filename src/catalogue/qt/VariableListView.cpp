// The grid of the variable list with its mouse and key rules.

#include "catalogue/qt/VariableListView.h"

#include "catalogue/qt/VariableListDelegate.h"
#include "platform/qt/QtText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace qavn {

namespace {

QFont listFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    font.setWeight(QFont::Bold);
    return font;
}

bool isArrow(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

} // namespace

VariableListView::VariableListView(VariableList& list, QWidget* parent)
    : QTableView(parent), list_(list), model_(new VariableTableModel(list, this))
{
    setObjectName(QStringLiteral("variableList"));
    setFont(listFont());
    setModel(model_);
    setItemDelegate(new VariableListDelegate(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setSortingEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    viewport()->setCursor(Qt::ArrowCursor);

    // Every row has the same height, set once: the view never measures rows,
    // which keeps a million of them as quick as a few.
    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(rowHeight());
    rows->hide();

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setSectionsMovable(false);
    columns->setHighlightSections(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setMinimumSectionSize(1);
    columns->setSectionResizeMode(VariableTableModel::TagColumn, QHeaderView::Fixed);
    columns->setStretchLastSection(true);
    // Column 1 is two characters wide but never narrower than its picture.
    setColumnWidth(VariableTableModel::TagColumn, std::max(fontMetrics().horizontalAdvance(QStringLiteral("00")) + 8, 23));

    if (list_.mode() == VariableList::Mode::TaggedItems)
        setColumnHidden(VariableTableModel::TagColumn, true);

    connect(model_, &VariableTableModel::activeRowUpdated, this, &VariableListView::followActiveRow);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        if (list_.shown())
            followActiveRow(list_.activeRow());
    });
}

QString VariableListView::clipboardText(const VariableList& list, std::uint32_t row)
{
    return latin1(list.rowName(row)) + QLatin1Char('\t') + latin1(list.rowLabel(row)).trimmed();
}

int VariableListView::rowHeight() const
{
    return std::max(fontMetrics().height() + 3, 17);
}

QModelIndex VariableListView::cellAt(const QPoint& pos) const
{
    if (!viewport()->rect().contains(pos))
        return {};
    return indexAt(pos);
}

void VariableListView::followActiveRow(quint32 row)
{
    if (row < 1 || row > static_cast<quint32>(model_->rowCount()))
        return;
    const QModelIndex index = model_->index(static_cast<int>(row) - 1, VariableTableModel::TextColumn);
    following_ = true;
    if (currentIndex() != index)
        setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::EnsureVisible);
    following_ = false;
}

void VariableListView::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    // The table moved its current cell (arrow keys, Page Up/Down): the list's
    // active row follows.
    if (!following_ && current.isValid() && list_.shown()) {
        const auto row = static_cast<std::uint32_t>(current.row()) + 1;
        if (row != list_.activeRow())
            list_.goToRow(row);
    }
}

void VariableListView::cellNotification(std::uint32_t row)
{
    if (list_.goToRow(row) == 1 && description_)
        description_();
}

void VariableListView::keyPressEvent(QKeyEvent* event)
{
    if (list_.inputEnabled()) {
        const int key = event->key();
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (key == Qt::Key_F1) {
            if (help_)
                help_();
            event->accept();
            return;
        }
        if (key == Qt::Key_F3 && match_) {
            match_(!mods.testFlag(Qt::ShiftModifier));
            event->accept();
            return;
        }
        if (mods.testFlag(Qt::ControlModifier)) {
            if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_End) {
                event->accept();
                return;
            }
        } else if (mods.testFlag(Qt::ShiftModifier) || key == Qt::Key_Shift) {
            shiftDown_ = true;
            if (key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_End || key == Qt::Key_Home ||
                isArrow(key)) {
                event->accept();
                return;
            }
        } else {
            shiftDown_ = false;
            if (key == Qt::Key_Home || key == Qt::Key_Left || key == Qt::Key_Right ||
                (key == Qt::Key_PageUp && list_.activeRow() == 1) ||
                (key == Qt::Key_PageDown && list_.activeRow() == list_.rowCount())) {
                event->accept();
                return;
            }
        }
    }
    // What the grid itself does with the key: T toggles the active row's tag,
    // Enter is the cell notification, the rest moves the current cell.
    if (event->key() == Qt::Key_T) {
        list_.toggleTag(list_.activeRow());
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy) && list_.shown()) {
        QGuiApplication::clipboard()->setText(clipboardText(list_, list_.activeRow()));
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (list_.inputEnabled())
            cellNotification(list_.activeRow());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void VariableListView::keyReleaseEvent(QKeyEvent* event)
{
    if (list_.inputEnabled())
        shiftDown_ = false;
    QTableView::keyReleaseEvent(event);
}

void VariableListView::mousePressEvent(QMouseEvent* event)
{
    const QModelIndex cell = cellAt(event->position().toPoint());
    if (!list_.inputEnabled() || event->button() != Qt::LeftButton || !cell.isValid()) {
        QTableView::mousePressEvent(event);
        return;
    }
    const auto row = static_cast<std::uint32_t>(cell.row()) + 1;
    if (cell.column() == VariableTableModel::TagColumn) {
        // Shift held down during the click counts as well as a Shift key-down
        // seen earlier: the key may have been pressed while another window had
        // the focus.
        if (shiftDown_ || event->modifiers().testFlag(Qt::ShiftModifier))
            list_.tagRange(row);
        else
            list_.toggleTag(row);
        shiftDown_ = false;
        list_.goToRow(row);
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    list_.goToRow(row);
    QTableView::mousePressEvent(event);
}

void VariableListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QModelIndex cell = cellAt(event->position().toPoint());
    if (!list_.inputEnabled() || event->button() != Qt::LeftButton || !cell.isValid()) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    if (cell.column() != VariableTableModel::TagColumn && description_)
        description_();
    event->accept();
}

void VariableListView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!list_.inputEnabled() || !list_.shown() || !contextMenu_) {
        event->ignore();
        return;
    }
    std::uint32_t row = list_.activeRow();
    QPoint at = visualRect(model_->index(static_cast<int>(row) - 1, VariableTableModel::TextColumn)).center();
    if (event->reason() != QContextMenuEvent::Keyboard) {
        const QModelIndex cell = cellAt(event->pos());
        if (!cell.isValid())
            return;
        row = static_cast<std::uint32_t>(cell.row()) + 1;
        at = event->pos();
        list_.goToRow(row);
    }
    contextMenu_(row, viewport()->mapToGlobal(at));
    event->accept();
}

void VariableListView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    if (list_.shown())
        scrollTo(currentIndex(), QAbstractItemView::EnsureVisible);
}

} // namespace qavn
