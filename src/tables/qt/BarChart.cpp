// A horizontal bar chart painted with Qt: one labelled bar per category.

#include "tables/qt/BarChart.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace qavn {

namespace {

constexpr int margin = 6;

} // namespace

BarChart::BarChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("barChart"));
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void BarChart::setBars(std::vector<ChartBar> bars)
{
    bars_ = std::move(bars);
    QStringList parts;
    for (const ChartBar& bar : bars_)
        parts << bar.label + QStringLiteral(": ") + bar.figure;
    setAccessibleDescription(parts.join(QStringLiteral("; ")));
    updateGeometry();
    update();
}

int BarChart::rowHeight() const
{
    return fontMetrics().height() + 6;
}

QSize BarChart::sizeHint() const
{
    return {420, margin * 2 + rowHeight() * static_cast<int>(std::max<std::size_t>(bars_.size(), 1))};
}

QSize BarChart::minimumSizeHint() const
{
    return {200, sizeHint().height()};
}

void BarChart::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    int labelWidth = 0;
    int figureWidth = 0;
    double largest = 0;
    for (const ChartBar& bar : bars_) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(bar.label));
        figureWidth = std::max(figureWidth, metrics.horizontalAdvance(bar.figure));
        largest = std::max(largest, bar.amount);
    }
    // A few pixels over the widest label: eliding measures a little wider.
    labelWidth = std::min(labelWidth + 4, width() * 2 / 5);
    const int barLeft = margin + labelWidth + margin;
    const int barSpace = std::max(0, width() - barLeft - figureWidth - 2 * margin);
    const QColor fill = palette().color(QPalette::Highlight);
    const int h = rowHeight();
    int y = margin;
    for (const ChartBar& bar : bars_) {
        const QRect labelRect(margin, y, labelWidth, h);
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(labelRect, Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(bar.label, Qt::ElideRight, labelWidth));
        const int length = largest > 0 ? static_cast<int>(barSpace * std::max(0.0, bar.amount) / largest) : 0;
        const QRect barRect(barLeft, y + 3, std::max(length, bar.amount > 0 ? 1 : 0), h - 6);
        painter.fillRect(barRect, bar.missing ? QBrush(fill, Qt::BDiagPattern) : QBrush(fill));
        if (bar.missing)
            painter.drawRect(barRect.adjusted(0, 0, -1, -1));
        painter.drawText(QRect(barRect.right() + margin, y, figureWidth + margin, h), Qt::AlignLeft | Qt::AlignVCenter,
                         bar.figure);
        y += h;
    }
}

} // namespace qavn
