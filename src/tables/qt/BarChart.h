#pragma once

// A horizontal bar chart painted with Qt: one labelled bar per category.

#include <QString>
#include <QWidget>

#include <vector>

namespace qavn {

// One bar: its label on the left, the bar scaled to the largest amount, the
// figure written after it. Missing values are drawn hatched.
struct ChartBar {
    QString label;
    double amount = 0;
    QString figure;
    bool missing = false;
};

// The bars one under another, as tall as they need (put it in a scroll area
// for many); the labels take at most two fifths of the width, elided.
class BarChart : public QWidget {
    Q_OBJECT
public:
    explicit BarChart(QWidget* parent = nullptr);

    void setBars(std::vector<ChartBar> bars);
    const std::vector<ChartBar>& bars() const { return bars_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int rowHeight() const;

    std::vector<ChartBar> bars_;
};

} // namespace qavn
