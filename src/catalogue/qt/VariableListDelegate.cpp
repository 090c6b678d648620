// Paints the variable list's cells: the tag picture, the name and the label.

#include "catalogue/qt/VariableListDelegate.h"

#include "catalogue/qt/VariableTableModel.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace qavn {

void VariableListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QRect cell = option.rect;
    const bool active = option.state.testFlag(QStyle::State_Selected);
    painter->save();
    painter->setClipRect(cell);
    if (index.column() == VariableTableModel::TagColumn) {
        painter->fillRect(cell, Qt::white);
        const QPixmap pixmap = index.data(Qt::DecorationRole).value<QPixmap>();
        if (!pixmap.isNull()) {
            const QSize size = pixmap.deviceIndependentSize().toSize();
            painter->drawPixmap(cell.x() + (cell.width() - size.width()) / 2,
                                cell.y() + (cell.height() - size.height()) / 2, pixmap);
        }
        painter->restore();
        return;
    }

    // The active row keeps its type colour on a light band, so that the
    // colour still tells the variable's type.
    const bool match = index.data(VariableTableModel::MatchRole).toBool();
    painter->fillRect(cell, active ? QColor(204, 228, 255) : match ? matchBackground() : QColor(Qt::white));
    if (active && match)
        painter->fillRect(QRect(cell.topLeft(), QSize(3, cell.height())), matchBackground().darker(130));
    painter->setFont(option.font);
    painter->setPen(index.data(Qt::ForegroundRole).value<QColor>());
    const QString text = index.data(Qt::DisplayRole).toString();
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine;
    const QRect nameRect(cell.x() + nameX, cell.y() + textY, std::max(0, labelX - nameX), cell.height() - textY);
    painter->drawText(nameRect.intersected(cell), flags, text.left(9));
    if (text.size() > 9) {
        const QRect labelRect(cell.x() + labelX, cell.y() + textY, std::max(0, cell.width() - labelX),
                              cell.height() - textY);
        painter->drawText(labelRect, flags, text.mid(9));
    }
    if (active && option.state.testFlag(QStyle::State_HasFocus)) {
        painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter->drawRect(cell.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QString VariableListDelegate::cutOffLabel(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (index.column() == VariableTableModel::TagColumn)
        return QString();
    const QString label = index.data(Qt::DisplayRole).toString().mid(9).trimmed();
    if (label.isEmpty())
        return QString();
    const int room = option.rect.width() - labelX;
    return option.fontMetrics.horizontalAdvance(label) > room ? label : QString();
}

bool VariableListDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                     const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString label = cutOffLabel(option, index);
    const QString type = index.data(Qt::ToolTipRole).toString();
    const QString tip = label.isEmpty() ? type : type.isEmpty() ? label : label + QLatin1Char('\n') + type;
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), tip, view, option.rect);
    return true;
}

} // namespace qavn
