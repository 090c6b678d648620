// The description and frequency window of one variable, with its pin.

#include "catalogue/qt/DescriptionWindow.h"

#include "project/ProjectSpec.h"
#include "codebook/CodebookStore.h"
#include "codebook/DescriptionText.h"
#include "platform/qt/QtText.h"
#include "catalogue/VariableList.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QMenu>
#include <QScreen>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QStringListModel>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QCursor>
#include <QMouseEvent>

namespace qavn {

namespace {

// The pin pictures: a pin standing up (not pinned) or pushed in (pinned).
QPixmap pinPicture(bool down)
{
    QPixmap pixmap(23, 18);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    if (down) {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(3.5, 4.5, 9, 9));
        p.drawLine(QPointF(12, 9), QPointF(20, 9));
    } else {
        p.setBrush(QColor(200, 0, 0));
        p.drawEllipse(QRectF(7.5, 1.5, 8, 8));
        p.drawLine(QPointF(11.5, 9.5), QPointF(11.5, 16.5));
    }
    return pixmap;
}

constexpr int itemHeight = 13;
// Room between a right-aligned field and the text before it, and before the
// category label.
constexpr int fieldGap = 6;
constexpr int labelGap = 8;

void drawFields(QPainter* painter, const QRect& rect, const CategoryColumns& columns, const QString& code,
                const QString& freq, const QString& percent, const QString& label)
{
    const int top = rect.top();
    const int h = rect.height();
    const int left = rect.left();
    const auto right = Qt::AlignRight | Qt::AlignTop;
    painter->drawText(QRect(left, top, columns.codeRight, h), right, code);
    painter->drawText(QRect(left, top, columns.freqRight, h), right, freq);
    painter->drawText(QRect(left, top, columns.percentRight, h), right, percent);
    painter->drawText(QRect(left + columns.labelLeft, top, std::max(0, rect.width() - columns.labelLeft), h),
                      Qt::AlignLeft | Qt::AlignTop, label);
}

CategoryItem itemOf(const QString& line)
{
    return splitCategoryItem(latin1Bytes(line));
}

class CategoryDelegate : public QStyledItemDelegate {
public:
    CategoryDelegate(const CategoryColumns& columns, const FrequencyBars& bars, QObject* parent)
        : QStyledItemDelegate(parent), columns_(columns), bars_(bars)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        if (option.state & QStyle::State_Selected) {
            painter->fillRect(option.rect, option.palette.highlight());
            painter->setPen(option.palette.highlightedText().color());
        }
        const CategoryItem item = itemOf(index.data().toString());
        drawFields(painter, option.rect, columns_, latin1(item.code), latin1(item.frequency), latin1(item.percent),
                   latin1(item.label));
        const auto row = static_cast<std::size_t>(index.row());
        if (columns_.barWidth > 0 && row < bars_.amounts.size()) {
            double longest = 0;
            for (const double amount : bars_.amounts)
                longest = std::max(longest, amount);
            const int length =
                longest > 0 ? static_cast<int>(columns_.barWidth * std::max(0.0, bars_.amounts[row]) / longest) : 0;
            const QRect bar(option.rect.left() + columns_.barLeft, option.rect.top() + 3,
                            std::max(length, bars_.amounts[row] > 0 ? 1 : 0), option.rect.height() - 6);
            const QColor colour = (option.state & QStyle::State_Selected) ? option.palette.highlightedText().color()
                                                                           : option.palette.highlight().color();
            const bool missing = row < bars_.missing.size() && bars_.missing[row];
            painter->fillRect(bar, missing ? QBrush(colour, Qt::BDiagPattern) : QBrush(colour));
            if (missing && bar.width() > 1) {
                painter->setPen(colour);
                painter->drawRect(bar.adjusted(0, 0, -1, -1));
            }
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        // Every item as wide as the widest (the list's items are of one
        // size), so that each label can be scrolled to its end.
        return {columns_.width + 4, std::max(itemHeight, option.fontMetrics.height())};
    }

private:
    const CategoryColumns& columns_;
    const FrequencyBars& bars_;
};

class Headings : public QWidget {
public:
    Headings(const CategoryColumns& columns, QWidget* parent) : QWidget(parent), columns_(columns) {}
    QSize sizeHint() const override { return {columns_.labelLeft + 100, fontMetrics().height() + 2}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        drawFields(&p, rect().adjusted(2, 1, 0, 0), columns_, QStringLiteral("Code"), QStringLiteral("Freq"),
                   QStringLiteral("%"), QStringLiteral("Category Label"));
    }

private:
    const CategoryColumns& columns_;
};

} // namespace

CategoryColumns CategoryColumns::fit(const QFontMetrics& metrics, const QStringList& lines)
{
    int code = metrics.horizontalAdvance(QStringLiteral("Code"));
    int freq = metrics.horizontalAdvance(QStringLiteral("Freq"));
    int percent = metrics.horizontalAdvance(QStringLiteral("%"));
    int label = metrics.horizontalAdvance(QStringLiteral("Category Label"));
    for (const QString& line : lines) {
        const CategoryItem item = itemOf(line);
        code = std::max(code, metrics.horizontalAdvance(latin1(item.code)));
        freq = std::max(freq, metrics.horizontalAdvance(latin1(item.frequency)));
        percent = std::max(percent, metrics.horizontalAdvance(latin1(item.percent)));
        label = std::max(label, metrics.horizontalAdvance(latin1(item.label)));
    }
    CategoryColumns columns;
    columns.codeRight = std::max(columns.codeRight, code + fieldGap);
    columns.freqRight = std::max(columns.freqRight, columns.codeRight + fieldGap + freq);
    columns.percentRight = std::max(columns.percentRight, columns.freqRight + fieldGap + percent);
    columns.labelLeft = std::max(columns.labelLeft, columns.percentRight + labelGap);
    columns.width = columns.labelLeft + label;
    return columns;
}

void CategoryColumns::addBars(int barSize)
{
    barLeft = labelLeft;
    barWidth = barSize;
    labelLeft += barSize + labelGap;
    width += barSize + labelGap;
}

DescriptionWindow::DescriptionWindow(int slot, VariableList& list, CodebookStore& store, const ProjectSpec& project,
                                     QWidget* owner)
    : QWidget(owner, Qt::Window), slot_(slot), list_(list), store_(store), project_(project)
{
    setObjectName(QStringLiteral("descriptionWindow%1").arg(slot));
    setWindowTitle(QStringLiteral("Description/Frequency"));
    setMinimumSize(270, 130);
    resize(406, 228);

    pinUp_ = new QToolButton(this);
    pinUp_->setObjectName(QStringLiteral("pinUp"));
    pinUp_->setIcon(pinPicture(false));
    pinUp_->setIconSize(QSize(23, 18));
    pinUp_->setAutoRaise(true);
    pinUp_->setToolTip(QStringLiteral("Keep this window on its variable"));
    pinUp_->setAccessibleName(QStringLiteral("Pin"));
    pinDown_ = new QToolButton(this);
    pinDown_->setObjectName(QStringLiteral("pinDown"));
    pinDown_->setIcon(pinPicture(true));
    pinDown_->setIconSize(QSize(23, 18));
    pinDown_->setAutoRaise(true);
    pinDown_->setToolTip(QStringLiteral("Let this window follow the list"));
    pinDown_->setAccessibleName(QStringLiteral("Unpin"));
    pinDown_->hide();
    connect(pinUp_, &QToolButton::clicked, this, [this] { setPinned(true); });
    connect(pinDown_, &QToolButton::clicked, this, [this] { setPinned(false); });

    descriptionButton_ = new QRadioButton(QStringLiteral("View Description"), this);
    descriptionButton_->setObjectName(QStringLiteral("viewDescription"));
    frequencyButton_ = new QRadioButton(QStringLiteral("View Frequency"), this);
    frequencyButton_->setObjectName(QStringLiteral("viewFrequency"));
    descriptionButton_->setChecked(true);
    connect(descriptionButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setView(View::Description);
    });
    connect(frequencyButton_, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setView(View::Frequency);
    });

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    info_ = new QLabel(this);
    info_->setObjectName(QStringLiteral("info"));
    info_->setAccessibleName(QStringLiteral("Where the variable is in the data"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("description"));
    text_->setReadOnly(true);
    text_->setAccessibleName(QStringLiteral("Description"));
    // The stored lines are already broken where the codebook breaks them:
    // they are shown as they are, with both scroll bars, so that addresses
    // and phrases stay whole.
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    headings_ = new Headings(columns_, this);
    headings_->setAccessibleName(QStringLiteral("Code, Freq, %, Category Label"));
    categories_ = new QListView(this);
    categories_->setObjectName(QStringLiteral("categories"));
    categories_->setAccessibleName(QStringLiteral("Frequency table"));
    categoryModel_ = new QStringListModel(this);
    categories_->setModel(categoryModel_);
    categories_->setItemDelegate(new CategoryDelegate(columns_, bars_, categories_));
    categories_->setUniformItemSizes(true);
    categories_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    categories_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    categories_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    categories_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(categories_, &QWidget::customContextMenuRequested, this, &DescriptionWindow::categoryMenu);
    categories_->installEventFilter(this);
    figures_ = new QPlainTextEdit(this);
    figures_->setObjectName(QStringLiteral("figures"));
    figures_->setAccessibleName(QStringLiteral("Figures from the data"));
    figures_->setReadOnly(true);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("frequencySummary"));
    summary_->setAccessibleName(QStringLiteral("Valid, missing and total cases"));
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    summary_->setContentsMargins(4, 0, 4, 2);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    auto* top = new QHBoxLayout;
    top->setContentsMargins(2, 2, 2, 0);
    top->addWidget(pinUp_);
    top->addWidget(pinDown_);
    top->addWidget(descriptionButton_);
    top->addWidget(frequencyButton_);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addWidget(info_);
    layout->addWidget(headings_);
    layout->addWidget(text_, 1);
    layout->addWidget(categories_, 1);
    layout->addWidget(figures_, 1);
    layout->addWidget(summary_);
    applyView();

    activation_ = new QTimer(this);
    activation_->setSingleShot(true);
    activation_->setInterval(activationDelayMs);
    connect(activation_, &QTimer::timeout, this, [this] {
        qApp->removeEventFilter(this);
        setPinned(false);
        refresh();
    });
}

void DescriptionWindow::setView(View view)
{
    view_ = view;
    const QSignalBlocker a(descriptionButton_);
    const QSignalBlocker b(frequencyButton_);
    descriptionButton_->setChecked(view == View::Description);
    frequencyButton_->setChecked(view == View::Frequency);
    applyView();
}

void DescriptionWindow::applyView()
{
    const bool description = view_ == View::Description;
    // A variable without category lines shows its figures from the data,
    // asked for the first time the frequency view shows it.
    if (!description && !hasCategories_ && !figuresShown_ && figuresFor && !computingFigures_ && row_ != 0) {
        computingFigures_ = true;
        const std::uint32_t row = row_;
        const std::optional<QStringList> lines = figuresFor(row, this);
        computingFigures_ = false;
        backFromDialog_ = true;
        QTimer::singleShot(activationDelayMs, this, [this] { backFromDialog_ = false; });
        if (lines && row == row_) {
            figures_->setPlainText(lines->join(QLatin1Char('\n')));
            figuresShown_ = true;
        }
    }
    if (!description && hasCategories_ && !barsAsked_ && barsFor && !computingFigures_ && row_ != 0) {
        computingFigures_ = true;
        barsAsked_ = true;
        const std::uint32_t row = row_;
        std::optional<FrequencyBars> bars = barsFor(row, this);
        computingFigures_ = false;
        if (bars && row == row_) {
            bars_ = std::move(*bars);
            showBars();
        }
    }
    const bool figures = !description && figuresShown_;
    summary_->setVisible(!description && !figures && !summary_->text().isEmpty());
    info_->setVisible(description);
    text_->setVisible(description);
    headings_->setVisible(!description && !figures);
    categories_->setVisible(!description && !figures);
    figures_->setVisible(figures);
}

void DescriptionWindow::setPinned(bool pinned)
{
    if (pinned_ == pinned)
        return;
    pinned_ = pinned;
    pinUp_->setVisible(!pinned);
    pinDown_->setVisible(pinned);
    if (onPinChanged)
        onPinChanged(slot_, pinned);
}

void DescriptionWindow::refresh()
{
    const std::uint32_t r = list_.activeRow();
    if (r == row_)
        return;
    row_ = r;
    if (onRowShown)
        onRowShown(slot_, r);
    load(r);
}

void DescriptionWindow::reloadFrequencies()
{
    if (row_ != 0)
        load(row_);
}

void DescriptionWindow::showBars()
{
    if (!bars_.lines.isEmpty())
        categoryModel_->setStringList(bars_.lines);
    const QStringList lines = categoryModel_->stringList();
    columns_ = CategoryColumns::fit(categories_->fontMetrics(), lines);
    if (bars_.amounts.size() == static_cast<std::size_t>(lines.size()))
        columns_.addBars(categories_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);
    else
        bars_.amounts.clear();
    summary_->setText(bars_.summary);
    headings_->update();
    categories_->viewport()->update();
}

void DescriptionWindow::load(std::uint32_t r)
{
    bars_ = {};
    barsAsked_ = false;
    summary_->clear();
    if (!store_.readRecord(r))
        return;
    const VariableRecord record = store_.record();
    setWindowTitle(latin1(descriptionCaption(list_.rowName(r))));
    info_->setText(latin1(descriptionInfoLine(record, project_)));

    QString text = latin1(qavn::descriptionText(store_, record));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(text);

    QStringList items;
    items.reserve(record.categoryLineCount);
    store_.readLines(record.categoryRef, record.categoryLineCount, LineVariant::ListLines, [&](std::string_view line) {
        items.append(latin1(line));
        return true;
    });
    columns_ = CategoryColumns::fit(categories_->fontMetrics(), items);
    categoryModel_->setStringList(items);
    headings_->update();
    hasCategories_ = record.categoryLineCount > 0;
    figuresShown_ = false;
    figures_->clear();
    applyView();
}

QString DescriptionWindow::infoText() const
{
    return info_->text();
}

QString DescriptionWindow::descriptionText() const
{
    return text_->toPlainText();
}

QStringList DescriptionWindow::categoryLines() const
{
    return categoryModel_->stringList();
}

QString DescriptionWindow::summaryText() const
{
    return summary_->text();
}

QString DescriptionWindow::figuresText() const
{
    return figuresShown_ ? figures_->toPlainText() : QString();
}

bool DescriptionWindow::activationPending() const
{
    return activation_ && activation_->isActive();
}

void DescriptionWindow::activated()
{
    if (backFromDialog_) {
        backFromDialog_ = false;
        return; // the window was active before its dialog
    }
    if (QGuiApplication::mouseButtons().toInt() != 0)
        return; // the press came first: a click into the window
    // A click on the title bar or the frame goes to the window manager
    // alone; the pointer is still there when the activation arrives.
    const QPoint pointer = QCursor::pos();
    if (frameGeometry().contains(pointer) && !geometry().contains(pointer))
        return;
    // Activated from the keyboard, by the window manager or by the program,
    // unless a press into the window follows at once: the window follows
    // the list again.
    qApp->installEventFilter(this);
    activation_->start();
}

void DescriptionWindow::cancelActivation()
{
    if (activation_)
        activation_->stop();
    qApp->removeEventFilter(this);
}

bool DescriptionWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        activated();
    else if (event->type() == QEvent::WindowDeactivate || event->type() == QEvent::Hide)
        cancelActivation();
    return QWidget::event(event);
}

bool DescriptionWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == categories_ && (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        // The whole line of each item, not the list's own copy of one item.
        if (type == QEvent::KeyPress)
            copyCategories();
        event->accept();
        return true;
    }
    if (activation_ && activation_->isActive() &&
        (type == QEvent::MouseButtonPress || type == QEvent::NonClientAreaMouseButtonPress ||
         type == QEvent::MouseButtonDblClick)) {
        // The press that activated this window.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this)
            cancelActivation();
    }
    return QWidget::eventFilter(watched, event);
}

QString DescriptionWindow::categoryTableText() const
{
    const QStringList lines = categoryModel_->stringList();
    QList<int> rows;
    for (const QModelIndex& index : categories_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    const bool whole = rows.isEmpty() || rows.size() == lines.size();
    QString text;
    const auto add = [&text](const QString& code, const QString& freq, const QString& percent, const QString& label) {
        text += code + QLatin1Char('\t') + freq + QLatin1Char('\t') + percent + QLatin1Char('\t') + label +
                QLatin1Char('\n');
    };
    if (whole)
        add(QStringLiteral("Code"), QStringLiteral("Freq"), QStringLiteral("%"), QStringLiteral("Category Label"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!whole && !rows.contains(static_cast<int>(i)))
            continue;
        const CategoryItem item = itemOf(lines[i]);
        add(latin1(item.code), latin1(item.frequency), latin1(item.percent), latin1(item.label));
    }
    return text;
}

void DescriptionWindow::copyCategories()
{
    QGuiApplication::clipboard()->setText(categoryTableText());
}

void DescriptionWindow::categoryMenu(const QPoint& pos)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&Copy"), this, &DescriptionWindow::copyCategories);
    menu.addAction(QStringLiteral("Select &All"), categories_, &QAbstractItemView::selectAll);
    menu.exec(categories_->viewport()->mapToGlobal(pos));
}

void DescriptionWindow::showInPlace()
{
    if (!place_.isEmpty())
        restoreGeometry(place_);
    // Wholly on the screen it is on, however the screens changed since.
    const QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (!screen)
        screen = this->screen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QRect frame = frameGeometry();
        QPoint topLeft = frame.topLeft();
        topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() + 1 - frame.width())));
        topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() + 1 - frame.height())));
        if (topLeft != frame.topLeft())
            move(topLeft);
    }
    showNormal();
}

void DescriptionWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    place_ = saveGeometry();
    hide();
    if (onHidden)
        onHidden(slot_);
}

void DescriptionWindow::keyPressEvent(QKeyEvent* event)
{
    if (!handleWindowKey(event, onHelp, [this] { close(); }))
        QWidget::keyPressEvent(event);
}

DescriptionWindows::DescriptionWindows(VariableList& list, CodebookStore& store, const ProjectSpec& project,
                                       QWidget* owner)
    : list_(list), store_(store), project_(project), owner_(owner)
{
}

DescriptionWindows::~DescriptionWindows()
{
    destroyAll();
}

DescriptionWindow* DescriptionWindows::make(int slot)
{
    auto* w = new DescriptionWindow(slot, list_, store_, project_, owner_);
    w->onPinChanged = [this](int s, bool pinned) {
        if (pinned) {
            slots_.pin(s);
            if (DescriptionWindow* other = windows_[1 - s].data())
                other->setPinned(false);
        } else {
            slots_.unpin(s);
        }
    };
    w->onRowShown = [this](int s, std::uint32_t row) { slots_.showing(s, row); };
    w->onHidden = [this](int s) {
        slots_.setVisible(s, false);
        if (onWindowHidden)
            onWindowHidden();
    };
    w->onHelp = [this] {
        if (onHelp)
            onHelp();
    };
    w->figuresFor = [this](std::uint32_t row, QWidget* window) {
        return figuresFor ? figuresFor(row, window) : std::optional<QStringList>();
    };
    w->barsFor = [this](std::uint32_t row, QWidget* window) {
        return barsFor ? barsFor(row, window) : std::optional<FrequencyBars>();
    };
    if (!places_[slot].isEmpty()) {
        w->setPlace(places_[slot]);
    } else if (owner_) {
        const QWidget* owner = owner_->window();
        const QScreen* screen = owner->screen();
        // The frame the window manager will put around it, taken to be the
        // owner's.
        const QSize frame = w->size() + (owner->frameGeometry().size() - owner->geometry().size());
        if (screen)
            w->move(newWindowPlace(slot, owner->frameGeometry(), screen->availableGeometry(), frame));
    }
    windows_[slot] = w;
    slots_.created(slot);
    return w;
}

QPoint DescriptionWindows::newWindowPlace(int slot, const QRect& ownerFrame, const QRect& screen,
                                          const QSize& frameSize)
{
    const int right = screen.right() + 1;
    const int bottom = screen.bottom() + 1;
    int x = ownerFrame.right() + 1;
    if (x + frameSize.width() > right)
        x = ownerFrame.left() - frameSize.width();
    if (x < screen.left())
        x = right - frameSize.width();
    int y = ownerFrame.top();
    if (slot == 1) {
        // Below the first window when both fit beside the owner, else a
        // step down and to the right of it.
        if (y + 2 * frameSize.height() <= bottom) {
            y += frameSize.height();
        } else {
            constexpr int step = 32;
            y += step;
            x += step;
        }
    }
    x = std::clamp(x, screen.left(), std::max(screen.left(), right - frameSize.width()));
    y = std::clamp(y, screen.top(), std::max(screen.top(), bottom - frameSize.height()));
    return {x, y};
}

QByteArray DescriptionWindows::place(int slot) const
{
    const DescriptionWindow* w = windows_[slot];
    if (!w)
        return places_[slot];
    return w->isVisible() ? w->saveGeometry() : w->place();
}

void DescriptionWindows::setPlace(int slot, const QByteArray& place)
{
    places_[slot] = place;
    if (DescriptionWindow* w = windows_[slot]; w && !w->isVisible())
        w->setPlace(place);
}

void DescriptionWindows::showDescription(Request request)
{
    const int slot = slots_.choose(list_.activeRow());
    if (slot == DescriptionSlots::none)
        return;
    DescriptionWindow* w = windows_[slot] ? windows_[slot].data() : make(slot);
    slots_.setVisible(slot, true);
    if (w->isVisible())
        w->showNormal();
    else
        w->showInPlace();
    w->raise();
    w->activateWindow();
    // Activation unpins and refreshes; where the platform delivers no
    // activation (offscreen), do the same here.
    w->setPinned(false);
    w->refresh();
    if (request == Request::Frequency)
        w->setView(DescriptionWindow::View::Frequency);
}

void DescriptionWindows::reloadFrequencies()
{
    for (const QPointer<DescriptionWindow>& window : windows_)
        if (window)
            window->reloadFrequencies();
}

void DescriptionWindows::destroyAll()
{
    for (int slot = 0; slot < 2; ++slot) {
        delete windows_[slot];
        windows_[slot] = nullptr;
        slots_.destroyed(slot);
    }
}

} // namespace qavn
